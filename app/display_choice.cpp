#include "app/display_choice.h"

#include <QtGlobal>

DisplayChoice chooseDisplay(bool headlessAsked, const DisplayEnvironment &env)
{
    DisplayChoice c;
    if (headlessAsked) {
        c.headless = true;
        c.platforms = "offscreen";
        return c;
    }
    // A platform chosen by the user is theirs, failures included.
    if (!env.qpaPlatform.isEmpty())
        return c;
    if (env.display.isEmpty() && env.waylandDisplay.isEmpty()) {
        c.headless = true;
        c.platforms = "offscreen";
        c.notice = QStringLiteral("tarnwick: no display (DISPLAY and WAYLAND_DISPLAY are not set); running headless");
        return c;
    }
    // The plugins are tried in order; offscreen last means no display could be opened.
    const bool wayland = !env.waylandDisplay.isEmpty() && (env.display.isEmpty() || env.sessionType == "wayland");
    c.platforms = wayland ? "wayland;xcb;offscreen" : "xcb;offscreen";
    c.fallbackArmed = true;
    return c;
}

DisplayEnvironment currentDisplayEnvironment()
{
    return {qgetenv("QT_QPA_PLATFORM"), qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY"), qgetenv("XDG_SESSION_TYPE")};
}

QString unreachableDisplayNotice(const DisplayEnvironment &env)
{
    const QByteArray shown = !env.display.isEmpty() ? env.display : env.waylandDisplay;
    return QStringLiteral("tarnwick: cannot open display %1; running headless").arg(QString::fromLocal8Bit(shown));
}
