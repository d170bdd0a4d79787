// Failed logins per client: the first few are free, then each failure makes
// the client wait twice as long as the one before, up to a cap. A success
// clears the count; a client quiet for a day is forgotten. IPv6 clients count
// per /64 network (one machine usually holds the whole block).
#pragma once

#include "auth/monotonic_clock.h"

#include <QMutex>
#include <QString>
#include <map>

struct LoginPolicy {
    int freeFailures = 4;            // the 5th failure in a row starts the waiting
    qint64 firstDelayMs = 1000;      // then 1 s, 2 s, 4 s ...
    qint64 maxDelayMs = 5 * 60 * 1000; // ... up to five minutes
    qint64 forgetAfterMs = 24LL * 60 * 60 * 1000;
    int maxClients = 4096;
};

class LoginLimiter {
public:
    explicit LoginLimiter(MonotonicClock clock = steadyClock(), LoginPolicy policy = {});

    // How long the client must still wait before its next try (0: it may try now).
    qint64 waitMs(const QString &client);
    // Counts a failure; returns the wait it imposes (0 while still free).
    qint64 failed(const QString &client);
    void succeeded(const QString &client);
    int failuresOf(const QString &client);

    // The address as counted: IPv6 cut to its /64 network.
    static QString clientKey(const QString &address);

private:
    struct Record {
        int failures = 0;
        qint64 lastFailureMs = 0;
        qint64 notBeforeMs = 0;
    };
    void forgetOld(qint64 now);

    MonotonicClock m_clock;
    LoginPolicy m_policy;
    QMutex m_lock;
    std::map<QString, Record> m_clients;
};
