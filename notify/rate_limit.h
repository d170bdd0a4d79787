// At most one message per group of events in a period: the first goes out at
// once, later ones are held, and when the period ends the latest held one goes
// out counting the others. So the last state always arrives, late rather than
// never. Pure: the caller gives the time.
#pragma once

#include "notify/notify_event.h"

#include <map>
#include <vector>

class NotifyRateLimit {
public:
    // periodSeconds <= 0: no limit.
    void setPeriodSeconds(qint64 seconds) { m_period = seconds; }

    // The event to send now, or nothing when it is held.
    std::optional<NotifyEvent> offer(NotifyEvent e, const QDateTime &nowUtc);
    // Held events whose period has ended, ready to send.
    std::vector<NotifyEvent> due(const QDateTime &nowUtc);

private:
    struct Group {
        QDateTime lastSent;
        std::optional<NotifyEvent> held;
        int count = 0; // events held since the last message
        QDateTime heldSince;
    };
    bool periodOver(const Group &g, const QDateTime &nowUtc) const;
    NotifyEvent release(Group &g, NotifyEvent e, int heldBack, const QDateTime &nowUtc);

    qint64 m_period = 15 * 60;
    std::map<NotifyGroup, Group> m_groups;
};
