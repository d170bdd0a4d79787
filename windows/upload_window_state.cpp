// The upload window's mirror of the form's fields, and its line of service
// states beside the error list's caption.
#include "upload/upload_form.h"
#include "windows/upload_window.h"

#include "core/platform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

// Beside the error list's caption: how each service took the last reports.
void UploadWindow::buildStateLine()
{
    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("lblServiceState"));
    const QRect twips(2400, 4200, 12600, 255);
    m_state->setProperty("twips", twips);
    m_state->setGeometry(twips.x() / kTwipsPerPixel, twips.y() / kTwipsPerPixel, twips.width() / kTwipsPerPixel,
                         twips.height() / kTwipsPerPixel);
}

void UploadWindow::showState(const QString &formState)
{
    m_formState = formState;
    QString text = QStringLiteral("Weather service: ") + m_formState;
    for (const QString &line : m_extraStates)
        text += QStringLiteral("   ") + line;
    m_state->setText(text);
}

void UploadWindow::setOtherServiceStates(const QStringList &lines)
{
    m_extraStates = lines;
    showState(m_formState);
}

void UploadWindow::refreshFields(const UploadFields &fields)
{
    if (m_url->text() != fields.url) {
        m_url->setText(fields.url);
        m_url->setCursorPosition(0); // show the scheme and host, not the tail of the path
    }
    m_allow->setChecked(fields.allow);
    if (fields.requestMethod >= 0)
        m_method->setCurrentIndex(fields.requestMethod);
    const auto showRows = [](RowList &list, const QVector<HeaderRow> &rows) {
        for (int i = 0; i < list.names.size(); ++i) {
            if (list.names[i]->text() != rows.value(i).name)
                list.names[i]->setText(rows.value(i).name);
            if (list.values[i]->text() != rows.value(i).value)
                list.values[i]->setText(rows.value(i).value);
        }
    };
    showRows(m_variables, fields.variables);
    showRows(m_headers, fields.headers);
}
