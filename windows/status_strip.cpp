#include "windows/status_strip.h"

#include "watch/board_words.h"
#include "windows/seen_on_screen.h"

#include <QFontMetrics>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidgetItem>

#include <climits>
#include <utility>

namespace {
constexpr int kBoardLines = 2;
// The verdict with its reasons and the time a wait ends.
constexpr int kVerdictLines = 3;

// Holds one label, filling it, in the strip's layout. A label's new text asks
// its parent for a new layout; this parent has none, so the hand box is not
// laid out again each time the age moves on.
class LabelHolder : public QWidget {
public:
    LabelHolder(QLabel *label, QWidget *parent) : QWidget(parent), m_label(label)
    {
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        setMinimumWidth(10);
        label->setParent(this);
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QWidget::resizeEvent(event);
        m_label->setGeometry(rect());
    }

private:
    QLabel *m_label;
};

// The text as it wraps within `lines` lines of `width`; when it needs more,
// its end is cut and marked, so what it begins with still reads.
QString wrappedWithin(const QFontMetrics &metrics, const QString &text, int width, int lines)
{
    auto fits = [&](const QString &t) {
        return metrics.boundingRect(QRect(0, 0, width, INT_MAX), Qt::TextWordWrap, t).height()
               <= lines * metrics.lineSpacing();
    };
    if (fits(text))
        return text;
    const QChar ellipsis(0x2026);
    qsizetype low = 0, high = text.size(); // the longest start that fits with the mark
    while (low < high) {
        const qsizetype mid = (low + high + 1) / 2;
        if (fits(text.left(mid).trimmed() + ellipsis))
            low = mid;
        else
            high = mid - 1;
    }
    return text.left(low).trimmed() + ellipsis;
}

QLabel *stripLabel(const QString &name, QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setObjectName(name);
    // The window keeps its width; the text is shortened instead.
    l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    l->setMinimumWidth(10);
    return l;
}

// In the layout at the height the label itself would have there with a
// line of text: no text changes it.
QWidget *held(QLabel *label, QWidget *parent)
{
    const QString text = label->text();
    label->setText(QStringLiteral("0 s"));
    const int height = QWidgetItem(label).sizeHint().height();
    label->setText(text);
    auto *holder = new LabelHolder(label, parent);
    holder->setFixedHeight(height);
    return holder;
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
    // Two lines for the state, three for the verdict, one for the age,
    // always: the window keeps its size whatever they say. A verdict with its
    // reasons and the time a wait ends is read whole, not cut in its middle.
    for (auto [label, lines] : {std::pair{m_board, kBoardLines}, std::pair{m_safety, kVerdictLines}}) {
        label->setWordWrap(true);
        label->setFixedHeight(lines * label->fontMetrics().lineSpacing() + 2);
    }
    rows->addWidget(held(m_board, this));
    rows->addWidget(held(m_detail, this));
    rows->addWidget(held(m_safety, this));
    refresh();
}

void StatusStrip::showStatus(const WatchStatus &status)
{
    m_status = status;
    refresh();
}

void StatusStrip::updateTexts() const
{
    if (m_textsStale)
        makeTexts(m_clock());
}

void StatusStrip::makeTexts(const QDateTime &now) const
{
    m_textsStale = false;
    const BoardStatus &b = m_status.board;
    m_boardText = boardWords(b, now);
    QString detail = ageWords(b.lastRecord, now);
    if (m_status.latest) {
        const QString sky = skyWords(*m_status.latest);
        if (!sky.isEmpty())
            detail += QStringLiteral(" \u00b7 ") + sky;
    }
    m_detailText = detail;
    m_safetyText = safetyWords(m_status.safety);
}

void StatusStrip::refresh()
{
    const BoardStatus &b = m_status.board;
    m_textsStale = true;
    // Anything but readings coming in is written in red.
    setStyle(m_board, deliversReadings(b.state) ? QString() : QStringLiteral("color: #b00000;"));
    if (!m_status.safety.known)
        setStyle(m_safety, QString());
    else
        setStyle(m_safety, m_status.safety.safe ? QStringLiteral("background-color: #2e8b3a; color: white;")
                                                : QStringLiteral("background-color: #c00000; color: white;"));
    // The texts nobody sees are shortened and laid out when the window shows.
    if (!seenOnScreen(this))
        return;
    const QDateTime now = m_clock();
    makeTexts(now);
    // A long device name (/dev/serial/by-id/...) is shortened in its middle so
    // that the words around it still show.
    const int deviceWidth = std::max(40, m_board->width() - 24);
    if (m_device.full != b.device || m_device.width != deviceWidth) {
        m_device = {b.device, deviceWidth,
                    m_board->fontMetrics().elidedText(b.device, Qt::ElideMiddle, deviceWidth)};
    }
    BoardStatus shown = b;
    shown.device = m_device.shown;
    const QString boardShown = boardWords(shown, now);
    if (m_board->text() != boardShown)
        m_board->setText(boardShown);
    setTip(m_board, b.reason.isEmpty() ? m_boardText : m_boardText + QLatin1Char('\n') + b.reason);
    setElided(m_detail, m_detailText, m_detailElided);
    setElided(m_safety, m_safetyText, m_safetyElided, kVerdictLines);
}

void StatusStrip::setElided(QLabel *label, const QString &text, Elided &last, int lines)
{
    const int width = std::max(10, label->contentsRect().width());
    // Measuring the text is the costly part: only a new text or width needs it.
    if (last.full == text && last.width == width)
        return;
    last = {text, width,
            lines > 1 ? wrappedWithin(label->fontMetrics(), text, width, lines)
                      : label->fontMetrics().elidedText(text, Qt::ElideMiddle, width)};
    if (label->text() != last.shown)
        label->setText(last.shown);
    label->setProperty("fullText", text);
    setTip(label, text);
}

void StatusStrip::setTip(QLabel *label, const QString &tip)
{
    if (label->toolTip() != tip)
        label->setToolTip(tip);
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
