// The program's word to systemd under Type=notify: ready after start-up,
// alive after each completed watch cycle (the watchdog), stopping at the end.
// Does nothing when systemd did not start the program.
#pragma once

#include <QElapsedTimer>

class ServiceNotify {
public:
    // Reads NOTIFY_SOCKET and the watchdog's interval (WATCHDOG_USEC) once.
    ServiceNotify();

    bool watchdogEnabled() const { return m_watchdogUsec > 0; }
    void ready();
    void stopping();
    // A cycle of the watch completed: pings the watchdog, at most four times
    // per interval. Never from a timer of its own, so a hung watch goes quiet.
    void cycleCompleted();

private:
    quint64 m_watchdogUsec = 0;
    QElapsedTimer m_sincePing;
};
