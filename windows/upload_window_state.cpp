// The upload window's line of service states, beside the error list's caption.
#include "upload/upload_form.h"
#include "windows/upload_window.h"

#include "core/platform.h"

#include <QLabel>

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

void UploadWindow::showState()
{
    QString text = QStringLiteral("Weather service: ") + m_form.stateText();
    for (const QString &line : m_extraStates)
        text += QStringLiteral("   ") + line;
    m_state->setText(text);
}

void UploadWindow::setOtherServiceStates(const QStringList &lines)
{
    m_extraStates = lines;
    showState();
}
