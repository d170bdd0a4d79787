#include "screen/screen_fit.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace {

bool frameKnown(const QWidget *w)
{
    return w->isVisible() && w->frameGeometry() != w->geometry();
}

QMargins marginsOf(const QWidget *w)
{
    const QRect f = w->frameGeometry(), g = w->geometry();
    return {g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom()};
}

// Until the window manager has framed a window its frame is unknown: take the
// frame of a window it has framed already (they share the decoration).
QMargins expectedMargins(const QWidget *window)
{
    if (frameKnown(window))
        return marginsOf(window);
    for (const QWidget *w : QApplication::topLevelWidgets())
        if (w != window && frameKnown(w))
            return marginsOf(w);
    return {};
}

// Fits the window once more when the window manager has framed it: the
// frame arrives some time after show(), and with it the title bar's height.
// Looks a few times a second while the event loop runs, for a few seconds.
class FrameWatch : public QObject {
public:
    static constexpr const char *kName = "keepOnScreenFrameWatch";
    explicit FrameWatch(QWidget *window) : QObject(window), m_window(window)
    {
        setObjectName(QLatin1String(kName));
        m_timer.setInterval(50);
        connect(&m_timer, &QTimer::timeout, this, [this] { look(); });
        m_timer.start();
    }

private:
    void look()
    {
        if (m_window && m_window->isVisible() && frameKnown(m_window)) {
            m_timer.stop();
            deleteLater();
            keepOnScreen(m_window);
        } else if (++m_looks >= 100) {
            m_timer.stop();
            deleteLater();
        }
    }

    QPointer<QWidget> m_window;
    QTimer m_timer;
    int m_looks = 0;
};

} // namespace

QRect keptWithin(const QRect &frame, const QRect &area)
{
    if (area.isEmpty())
        return frame;
    QRect r(frame.topLeft(), frame.size().boundedTo(area.size()));
    r.moveLeft(std::clamp(r.left(), area.left(), area.right() + 1 - r.width()));
    r.moveTop(std::clamp(r.top(), area.top(), area.bottom() + 1 - r.height()));
    return r;
}

QRect availableAreaFor(const QWidget *window)
{
    QScreen *screen = QGuiApplication::screenAt(window->frameGeometry().center());
    if (!screen)
        screen = window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

void keepOnScreen(QWidget *window)
{
    if (!window)
        return;
    const bool known = frameKnown(window);
    if (!known && !window->findChild<QObject *>(QLatin1String(FrameWatch::kName), Qt::FindDirectChildrenOnly))
        new FrameWatch(window);
    // A top-level window's position is that of its frame.
    const QMargins m = expectedMargins(window);
    const QSize border(m.left() + m.right(), m.top() + m.bottom());
    const QRect frame = known ? window->frameGeometry() : QRect(window->pos(), window->size() + border);
    const QRect fitted = keptWithin(frame, availableAreaFor(window));
    if (fitted == frame)
        return;
    if (fitted.size() != frame.size())
        window->resize((fitted.size() - border).expandedTo(window->minimumSize()));
    window->move(fitted.topLeft());
}
