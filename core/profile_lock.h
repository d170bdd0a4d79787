// The lock a writer holds on a profile: a running program for its whole run,
// "tarnwick config set" for its one write. It lives in "<profile>.lock", which
// names the holder's process ID; the system drops it when the holder ends,
// however it ends.
#pragma once

#include <QString>

class ProfileLock {
public:
    enum class Outcome {
        Held,        // this process holds the lock
        Busy,        // another process holds it (holderPid() says which)
        Unavailable, // no lock file could be made (error() says why)
    };

    ProfileLock() = default;
    ~ProfileLock();
    ProfileLock(const ProfileLock &) = delete;
    ProfileLock &operator=(const ProfileLock &) = delete;

    // Tries for up to waitMs: a config write holds the lock for milliseconds.
    // Once held, the copies killed writes left behind are removed.
    Outcome acquire(const QString &profilePath, int waitMs);
    void release();

    static QString lockPathFor(const QString &profilePath);
    qint64 holderPid() const { return m_holderPid; }
    QString error() const { return m_error; }

private:
    int m_fd = -1;
    qint64 m_holderPid = 0;
    QString m_error;
};
