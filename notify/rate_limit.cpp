#include "notify/rate_limit.h"

bool NotifyRateLimit::periodOver(const Group &g, const QDateTime &nowUtc) const
{
    return m_period <= 0 || !g.lastSent.isValid() || g.lastSent.secsTo(nowUtc) >= m_period;
}

NotifyEvent NotifyRateLimit::release(Group &g, NotifyEvent e, int heldBack, const QDateTime &nowUtc)
{
    // The events held before this one are counted in it.
    e.heldBack = heldBack;
    e.heldSince = g.heldSince;
    g.lastSent = nowUtc;
    g.held.reset();
    g.count = 0;
    return e;
}

std::optional<NotifyEvent> NotifyRateLimit::offer(NotifyEvent e, const QDateTime &nowUtc)
{
    const NotifyGroup key = groupOf(e.kind);
    if (key == NotifyGroup::Program)
        return e; // start and stop are rare and must not wait
    Group &g = m_groups[key];
    if (periodOver(g, nowUtc))
        return release(g, std::move(e), g.count, nowUtc);
    if (g.count == 0)
        g.heldSince = e.utc;
    ++g.count;
    g.held = std::move(e);
    return std::nullopt;
}

std::vector<NotifyEvent> NotifyRateLimit::due(const QDateTime &nowUtc)
{
    std::vector<NotifyEvent> out;
    for (auto &[key, g] : m_groups) {
        if (g.held && periodOver(g, nowUtc)) {
            NotifyEvent e = *g.held;
            out.push_back(release(g, std::move(e), g.count - 1, nowUtc));
        }
    }
    return out;
}
