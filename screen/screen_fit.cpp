#include "screen/screen_fit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

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
    const QRect frame = window->frameGeometry();
    const QRect fitted = keptWithin(frame, availableAreaFor(window));
    if (fitted == frame)
        return;
    // The frame (title bar, borders) adds to the client area by the same amount.
    const QSize border = frame.size() - window->size();
    if (fitted.size() != frame.size()) {
        const QSize client = (fitted.size() - border).expandedTo(window->minimumSize());
        window->resize(client);
    }
    window->move(fitted.topLeft());
}
