#include "auth/login_limiter.h"

#include <QHostAddress>
#include <algorithm>

LoginLimiter::LoginLimiter(MonotonicClock clock, LoginPolicy policy) : m_clock(std::move(clock)), m_policy(policy) {}

QString LoginLimiter::clientKey(const QString &address)
{
    QHostAddress a(address);
    if (a.isNull() || a.protocol() != QAbstractSocket::IPv6Protocol)
        return address;
    bool isV4 = false;
    const quint32 v4 = a.toIPv4Address(&isV4);
    if (isV4)
        return QHostAddress(v4).toString();
    Q_IPV6ADDR bytes = a.toIPv6Address();
    std::fill(bytes.c + 8, bytes.c + 16, 0);
    return QHostAddress(bytes).toString() + QStringLiteral("/64");
}

void LoginLimiter::forgetOld(qint64 now)
{
    std::erase_if(m_clients, [&](const auto &entry) {
        return now - entry.second.lastFailureMs >= m_policy.forgetAfterMs && now >= entry.second.notBeforeMs;
    });
}

qint64 LoginLimiter::waitMs(const QString &client)
{
    QMutexLocker locked(&m_lock);
    const qint64 now = m_clock();
    auto found = m_clients.find(clientKey(client));
    return found == m_clients.end() ? 0 : std::max<qint64>(0, found->second.notBeforeMs - now);
}

qint64 LoginLimiter::failed(const QString &client)
{
    QMutexLocker locked(&m_lock);
    const qint64 now = m_clock();
    forgetOld(now);
    const QString key = clientKey(client);
    if (!m_clients.count(key) && int(m_clients.size()) >= m_policy.maxClients) {
        // Too many strangers: the one failed longest ago makes room (never one still waiting).
        auto oldest = std::min_element(m_clients.begin(), m_clients.end(), [](const auto &a, const auto &b) {
            return a.second.notBeforeMs < b.second.notBeforeMs;
        });
        if (oldest->second.notBeforeMs <= now)
            m_clients.erase(oldest);
    }
    Record &r = m_clients[key];
    ++r.failures;
    r.lastFailureMs = now;
    const int over = r.failures - m_policy.freeFailures;
    if (over <= 0)
        return 0;
    qint64 delay = m_policy.firstDelayMs;
    for (int i = 1; i < over && delay < m_policy.maxDelayMs; ++i)
        delay *= 2;
    delay = std::min(delay, m_policy.maxDelayMs);
    r.notBeforeMs = now + delay;
    return delay;
}

void LoginLimiter::succeeded(const QString &client)
{
    QMutexLocker locked(&m_lock);
    m_clients.erase(clientKey(client));
}

int LoginLimiter::failuresOf(const QString &client)
{
    QMutexLocker locked(&m_lock);
    auto found = m_clients.find(clientKey(client));
    return found == m_clients.end() ? 0 : found->second.failures;
}
