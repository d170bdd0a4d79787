// Logged-in browsers: a session is a random ID (the cookie) and its own CSRF
// token. Only a keyed digest of the ID is kept. A session ends after its idle
// time or its lifetime, whichever comes first, or at logout; the oldest go
// first when too many are open.
#pragma once

#include "auth/monotonic_clock.h"

#include <QByteArray>
#include <QMutex>
#include <map>
#include <optional>

struct SessionTimes {
    qint64 idleMs = 60LL * 60 * 1000;        // an hour without a request
    qint64 lifetimeMs = 12LL * 60 * 60 * 1000; // twelve hours after the login at most
    int capacity = 64;
};

class SessionStore {
public:
    explicit SessionStore(MonotonicClock clock = steadyClock(), SessionTimes times = {});

    struct Opened {
        QByteArray id;
        QByteArray csrf;
    };
    // A fresh session; the ID is never one a client sent.
    Opened open();
    // The session's CSRF token when the ID names a live session (which then
    // counts as used now); nothing for an unknown or expired one.
    std::optional<QByteArray> csrfFor(const QByteArray &id);
    void close(const QByteArray &id);
    // Every session ends (the password changed).
    void closeAll();
    int openCount();
    const SessionTimes &times() const { return m_times; }

private:
    struct Session {
        QByteArray csrf;
        qint64 openedMs;
        qint64 lastUsedMs;
    };
    void dropExpired(qint64 now);

    MonotonicClock m_clock;
    SessionTimes m_times;
    QMutex m_lock;
    std::map<QByteArray, Session> m_sessions; // by keyed digest of the ID
};
