#include "service/service_notify.h"

#include <systemd/sd-daemon.h>

ServiceNotify::ServiceNotify()
{
    uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) > 0)
        m_watchdogUsec = usec;
}

void ServiceNotify::ready()
{
    sd_notify(0, "READY=1\nSTATUS=Watching the weather");
}

void ServiceNotify::stopping()
{
    sd_notify(0, "STOPPING=1");
}

void ServiceNotify::cycleCompleted()
{
    if (m_watchdogUsec == 0)
        return;
    if (m_sincePing.isValid() && quint64(m_sincePing.nsecsElapsed() / 1000) < m_watchdogUsec / 4)
        return;
    m_sincePing.start();
    sd_notify(0, "WATCHDOG=1");
}
