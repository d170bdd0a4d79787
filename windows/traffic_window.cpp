// The traffic window: fixed layout in twips, a fixed width and a minimum height.
#include "windows/traffic_window.h"

#include "core/platform.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextCursor>

namespace {
QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToPx(left), twipsToPx(top), twipsToPx(width), twipsToPx(height));
}

QCheckBox *makeBox(QWidget *parent, const char *name, const QString &caption, QRect where, bool checked)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(where);
    box->setChecked(checked);
    return box;
}

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption, QRect where)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(where);
    button->setFont(QFont(QStringLiteral("MS Sans Serif")));
    return button;
}
} // namespace

TrafficWindow::TrafficWindow(TrafficApi *&openSlot, QWidget *parent) : QWidget(parent, Qt::Window), m_openSlot(openSlot)
{
    setObjectName(QStringLiteral("frmShow"));
    setWindowTitle(QStringLiteral("ASCOM API Traffic"));
    setAttribute(Qt::WA_DeleteOnClose);
    QFont courier(QStringLiteral("Courier"));
    courier.setStyleHint(QFont::TypeWriter);
    setFont(courier);

    m_cmdDisable = makeButton(this, "cmdDisable", QStringLiteral("Disable"), twipsRect(4200, 120, 915, 285));
    m_chkMove = makeBox(this, "chkMove", QStringLiteral("Move / Halt"), twipsRect(120, 120, 1785, 195), true);
    m_chkOther = makeBox(this, "chkOther", QStringLiteral("Other Calls"), twipsRect(2160, 480, 1755, 195), false);
    m_chkTemp = makeBox(this, "chkTemp", QStringLiteral("Temp Related"), twipsRect(120, 480, 1875, 195), false);
    m_chkMoving = makeBox(this, "chkMoving", QStringLiteral("IsMoving"), twipsRect(2160, 120, 2145, 195), false);
    m_cmdClear = makeButton(this, "cmdClear", QStringLiteral("Clear"), twipsRect(4200, 480, 915, 255));
    m_txtTraffic = new QPlainTextEdit(this);
    m_txtTraffic->setObjectName(QStringLiteral("txtTraffic"));
    m_txtTraffic->setReadOnly(true);
    m_txtTraffic->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_txtTraffic->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_txtTraffic->setGeometry(twipsRect(90, 840, 5115, 4845));

    connect(m_cmdClear, &QPushButton::clicked, this, &TrafficWindow::clearText);
    connect(m_cmdDisable, &QPushButton::clicked, this, &TrafficWindow::toggleDisabled);

    resize(twipsToPx(kWidthTwips), twipsToPx(m_textOffset + 4845));
    // Load: Clear, enabled.
    clearText();
    m_log.setDisabled(false);
    m_openSlot = this;
}

TrafficWindow::~TrafficWindow()
{
    if (m_openSlot == this)
        m_openSlot = nullptr;
}

void TrafficWindow::TrafficLine(const QString &text)
{
    m_log.line(text);
    refreshText();
}

void TrafficWindow::TrafficStart(const QString &text)
{
    m_log.start(text);
    refreshText();
}

void TrafficWindow::TrafficEnd(const QString &text)
{
    m_log.end(text);
    refreshText();
}

void TrafficWindow::TrafficChar(const QString &text)
{
    m_log.item(text);
    refreshText();
}

QCheckBox *TrafficWindow::groupBox(TrafficGroup group) const
{
    switch (group) {
    case TrafficGroup::MoveHalt:
        return m_chkMove;
    case TrafficGroup::OtherCalls:
        return m_chkOther;
    case TrafficGroup::TempRelated:
        return m_chkTemp;
    case TrafficGroup::IsMoving:
        return m_chkMoving;
    }
    return nullptr;
}

bool TrafficWindow::groupEnabled(TrafficGroup group) const
{
    const QCheckBox *box = groupBox(group);
    return box && box->isChecked();
}

QString TrafficWindow::shownText() const
{
    return m_txtTraffic->toPlainText();
}

void TrafficWindow::refreshText()
{
    if (m_log.disabled())
        return;
    QString shown = m_log.text();
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.remove(QLatin1Char('\r'));
    m_txtTraffic->setPlainText(shown);
    // Caret to the end so the newest text is in view.
    m_txtTraffic->moveCursor(QTextCursor::End);
    m_txtTraffic->verticalScrollBar()->setValue(m_txtTraffic->verticalScrollBar()->maximum());
}

void TrafficWindow::clearText()
{
    m_log.clear();
    m_txtTraffic->clear();
}

void TrafficWindow::toggleDisabled()
{
    m_log.setDisabled(!m_log.disabled());
    m_cmdDisable->setText(m_log.disabled() ? QStringLiteral("Enable") : QStringLiteral("Disable"));
}

int TrafficWindow::windowHeightTwips() const
{
    // The offset counts the frame as well as the controls above the text.
    const int frameExtra = std::max(0, frameGeometry().height() - geometry().height());
    return (height() + frameExtra) * kTwipsPerPixel;
}

void TrafficWindow::fitTextBox()
{
    const int textTwips = std::max(0, windowHeightTwips() - m_textOffset);
    QRect r = m_txtTraffic->geometry();
    r.setHeight(twipsToPx(textTwips));
    m_txtTraffic->setGeometry(r);
}

void TrafficWindow::setTextOffset(int16_t twips)
{
    m_textOffset = twips;
    fitTextBox();
}

void TrafficWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int widthPx = twipsToPx(kWidthTwips);
    const int minTwips = m_textOffset + kMinTextTwips;
    if (width() != widthPx || windowHeightTwips() < minTwips) {
        const int frameExtra = std::max(0, frameGeometry().height() - geometry().height());
        const int minPx = (minTwips + kTwipsPerPixel - 1) / kTwipsPerPixel - frameExtra;
        resize(widthPx, std::max(height(), minPx));
    }
    fitTextBox();
}
