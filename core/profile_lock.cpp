#include "core/profile_lock.h"

#include "core/profile_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

ProfileLock::~ProfileLock()
{
    release();
}

QString ProfileLock::lockPathFor(const QString &profilePath)
{
    return profilePath + QStringLiteral(".lock");
}

ProfileLock::Outcome ProfileLock::acquire(const QString &profilePath, int waitMs)
{
    release();
    QDir().mkpath(QFileInfo(profilePath).absolutePath());
    const QByteArray path = QFile::encodeName(lockPathFor(profilePath));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        m_error = QStringLiteral("cannot open %1: %2").arg(lockPathFor(profilePath), QString::fromLocal8Bit(std::strerror(errno)));
        return Outcome::Unavailable;
    }
    constexpr int kStepMs = 20;
    for (int waited = 0;; waited += kStepMs) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            break;
        if (errno != EWOULDBLOCK && errno != EINTR) {
            m_error = QStringLiteral("cannot lock %1: %2").arg(lockPathFor(profilePath), QString::fromLocal8Bit(std::strerror(errno)));
            ::close(fd);
            return Outcome::Unavailable;
        }
        if (waited >= waitMs) {
            char buf[32] = {};
            const ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
            m_holderPid = n > 0 ? QByteArray(buf, int(n)).trimmed().toLongLong() : 0;
            ::close(fd);
            return Outcome::Busy;
        }
        QThread::msleep(kStepMs);
    }
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t n = ::pwrite(fd, pid.constData(), size_t(pid.size()), 0);
    }
    m_fd = fd;
    m_holderPid = ::getpid();
    ProfileStore::removeAbandonedCopies(profilePath);
    return Outcome::Held;
}

void ProfileLock::release()
{
    if (m_fd < 0)
        return;
    // The file stays: removing it could let two writers lock two different files.
    ::close(m_fd);
    m_fd = -1;
}
