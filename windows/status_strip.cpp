#include "windows/status_strip.h"

#include "station/board_words.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {
QLabel *stripLabel(const QString &name, QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setObjectName(name);
    // The window keeps its width; the text is shortened instead.
    l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    l->setMinimumWidth(10);
    return l;
}
} // namespace

StatusStrip::StatusStrip(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("statusStrip"));
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    auto *rows = new QVBoxLayout(this);
    rows->setContentsMargins(4, 2, 4, 2);
    rows->setSpacing(1);
    m_board = stripLabel(QStringLiteral("lblBoardState"), this);
    m_detail = stripLabel(QStringLiteral("lblReadingAge"), this);
    m_safety = stripLabel(QStringLiteral("lblSafety"), this);
    QFont bold = m_board->font();
    bold.setBold(true);
    m_board->setFont(bold);
    m_safety->setFont(bold);
    m_safety->setAlignment(Qt::AlignCenter);
    // Two lines for the state, one each for the age and the verdict, always:
    // the window keeps its size whatever they say.
    m_board->setWordWrap(true);
    m_board->setFixedHeight(2 * m_board->fontMetrics().lineSpacing() + 2);
    m_safety->setFixedHeight(m_safety->fontMetrics().lineSpacing() + 2);
    rows->addWidget(m_board);
    rows->addWidget(m_detail);
    rows->addWidget(m_safety);
    refresh();
}

void StatusStrip::showStatus(const WatchStatus &status)
{
    m_status = status;
    refresh();
}

void StatusStrip::refresh()
{
    const QDateTime now = m_clock();
    const BoardStatus &b = m_status.board;
    m_boardText = boardWords(b, now);
    // A long device name (/dev/serial/by-id/...) is shortened in its middle so
    // that the words around it still show.
    BoardStatus shown = b;
    shown.device = m_board->fontMetrics().elidedText(b.device, Qt::ElideMiddle, std::max(40, m_board->width() - 24));
    QString detail = ageWords(b.lastRecord, now);
    if (m_status.latest) {
        const QString sky = skyWords(*m_status.latest);
        if (!sky.isEmpty())
            detail += QStringLiteral(" \u00b7 ") + sky;
    }
    m_detailText = detail;
    m_safetyText = safetyWords(m_status.safety);

    if (m_board->text() != boardWords(shown, now))
        m_board->setText(boardWords(shown, now));
    m_board->setToolTip(b.reason.isEmpty() ? m_boardText : m_boardText + QLatin1Char('\n') + b.reason);
    // Anything but readings coming in is written in red.
    setStyle(m_board, deliversReadings(b.state) ? QString() : QStringLiteral("color: #b00000;"));
    setElided(m_detail, m_detailText);
    m_detail->setToolTip(m_detailText);

    setElided(m_safety, m_safetyText);
    m_safety->setToolTip(m_safetyText);
    if (!m_status.safety.known)
        setStyle(m_safety, QString());
    else
        setStyle(m_safety, m_status.safety.safe ? QStringLiteral("background-color: #2e8b3a; color: white;")
                                                : QStringLiteral("background-color: #c00000; color: white;"));
}

void StatusStrip::setElided(QLabel *label, const QString &text)
{
    const int width = std::max(10, label->width());
    const QString shown = label->fontMetrics().elidedText(text, Qt::ElideMiddle, width);
    if (label->text() != shown)
        label->setText(shown);
    label->setProperty("fullText", text);
}

void StatusStrip::setStyle(QLabel *label, const QString &css)
{
    if (label->styleSheet() != css)
        label->setStyleSheet(css);
}

void StatusStrip::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    refresh();
}
