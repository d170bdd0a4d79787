#include "alpaca/socket_activation.h"

#include <QByteArray>

#include <cstdlib>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr int kFirstDescriptor = 3;

bool decimal(const QByteArray &text, long long &out)
{
    bool ok = false;
    out = text.toLongLong(&ok);
    return ok && !text.isEmpty() && text.at(0) != '+' && text.at(0) != '-';
}
} // namespace

ActivatedSocket takeActivatedSocket()
{
    ActivatedSocket result;
    const QByteArray pid = qgetenv("LISTEN_PID");
    const QByteArray fds = qgetenv("LISTEN_FDS");
    long long forPid = 0;
    long long count = 0;
    if (pid.isEmpty() || !decimal(pid, forPid) || forPid != ::getpid())
        return result; // not ours (or no activation at all): leave them be
    ::unsetenv("LISTEN_PID");
    ::unsetenv("LISTEN_FDS");
    ::unsetenv("LISTEN_FDNAMES");
    if (!decimal(fds, count) || count < 1) {
        result.error = QStringLiteral("socket activation: LISTEN_FDS is \"%1\", not a count of sockets; "
                                      "listening on the configured address instead")
                           .arg(QString::fromLatin1(fds.left(20)));
        return result;
    }
    const int fd = kFirstDescriptor;
    int type = 0;
    int listening = 0;
    socklen_t len = sizeof type;
    const bool stream = ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &len) == 0 && type == SOCK_STREAM;
    len = sizeof listening;
    const bool accepts = ::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &len) == 0 && listening;
    if (!stream || !accepts) {
        result.error = QStringLiteral("socket activation: descriptor 3 is not a listening TCP socket; "
                                      "listening on the configured address instead");
        return result;
    }
    // Not inherited by the programs this one starts (alerts, the safety programs).
    ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC);
    result.fd = fd;
    return result;
}
