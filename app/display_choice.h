// Whether the program can show windows: with no display, or one that cannot
// be reached, it runs headless instead of letting the platform plugin abort.
#pragma once

#include <QByteArray>
#include <QString>

struct DisplayEnvironment {
    QByteArray qpaPlatform;    // QT_QPA_PLATFORM
    QByteArray display;        // DISPLAY
    QByteArray waylandDisplay; // WAYLAND_DISPLAY
    QByteArray sessionType;    // XDG_SESSION_TYPE
};

struct DisplayChoice {
    bool headless = false;  // run headless from the start
    QByteArray platforms;   // QT_QPA_PLATFORM to set before the application object; empty: leave it
    bool fallbackArmed = false; // the offscreen plugin at the end of `platforms` means "no display"
    QString notice;         // the one line for standard error when headless was not asked for
};

DisplayChoice chooseDisplay(bool headlessAsked, const DisplayEnvironment &env);
DisplayEnvironment currentDisplayEnvironment();
// After the application object: the notice when the display could not be reached.
QString unreachableDisplayNotice(const DisplayEnvironment &env);
