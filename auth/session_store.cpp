#include "auth/session_store.h"

#include "auth/secrets.h"

#include <algorithm>

SessionStore::SessionStore(MonotonicClock clock, SessionTimes times) : m_clock(std::move(clock)), m_times(times) {}

void SessionStore::dropExpired(qint64 now)
{
    std::erase_if(m_sessions, [&](const auto &entry) {
        const Session &s = entry.second;
        return now - s.lastUsedMs >= m_times.idleMs || now - s.openedMs >= m_times.lifetimeMs;
    });
}

SessionStore::Opened SessionStore::open()
{
    Opened made{randomToken(), randomToken()};
    QMutexLocker locked(&m_lock);
    const qint64 now = m_clock();
    dropExpired(now);
    while (int(m_sessions.size()) >= std::max(1, m_times.capacity)) {
        auto oldest = std::min_element(m_sessions.begin(), m_sessions.end(), [](const auto &a, const auto &b) {
            return a.second.lastUsedMs < b.second.lastUsedMs;
        });
        m_sessions.erase(oldest);
    }
    m_sessions[keyedDigest(made.id)] = Session{made.csrf, now, now};
    return made;
}

std::optional<QByteArray> SessionStore::csrfFor(const QByteArray &id)
{
    if (id.isEmpty())
        return std::nullopt;
    QMutexLocker locked(&m_lock);
    const qint64 now = m_clock();
    dropExpired(now);
    auto found = m_sessions.find(keyedDigest(id));
    if (found == m_sessions.end())
        return std::nullopt;
    found->second.lastUsedMs = now;
    return found->second.csrf;
}

void SessionStore::close(const QByteArray &id)
{
    QMutexLocker locked(&m_lock);
    m_sessions.erase(keyedDigest(id));
}

void SessionStore::closeAll()
{
    QMutexLocker locked(&m_lock);
    m_sessions.clear();
}

int SessionStore::openCount()
{
    QMutexLocker locked(&m_lock);
    dropExpired(m_clock());
    return int(m_sessions.size());
}
