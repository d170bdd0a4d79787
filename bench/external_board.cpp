// A sensor board in its own process on a pseudo-terminal, for benchmarks: it
// prints the device to open and answers like the built-in simulator, either at
// once or one character at a time at 9600 baud, as a real UART sends.
//   external_board [--paced]
#include "station/board_simulator.h"

#include <QByteArray>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr long kCharNs = 10L * 1000000000L / 9600; // start, 8 data and stop bits

void addNs(timespec &t, long ns)
{
    t.tv_nsec += ns;
    while (t.tv_nsec >= 1000000000L) {
        t.tv_nsec -= 1000000000L;
        ++t.tv_sec;
    }
}

double seconds(const timespec &t)
{
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}
} // namespace

int main(int argc, char **argv)
{
    const bool paced = argc > 1 && std::strcmp(argv[1], "--paced") == 0;
    std::signal(SIGPIPE, SIG_IGN);
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        std::perror("pseudo-terminal");
        return 1;
    }
    const char *slave = ::ptsname(master);
    const int hold = ::open(slave, O_RDWR | O_NOCTTY); // no hang-up while the program reopens
    termios tio{};
    ::tcgetattr(hold, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(hold, TCSANOW, &tio);
    std::printf("%s\n", slave);
    std::fflush(stdout);

    BoardProtocol board(7);
    timespec last{};
    ::clock_gettime(CLOCK_MONOTONIC, &last);
    char buf[256];
    for (;;) {
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, -1) < 0 && errno != EINTR)
            return 1;
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n <= 0) {
            if (n < 0 && (errno == EAGAIN || errno == EINTR || errno == EIO)) {
                ::usleep(10000); // nobody has the far end open yet
                continue;
            }
            return 0;
        }
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        const QByteArray reply = board.feed(QByteArray(buf, int(n)), seconds(now) - seconds(last));
        last = now;
        if (!paced) {
            if (!reply.isEmpty() && ::write(master, reply.constData(), size_t(reply.size())) < 0)
                return 0;
            continue;
        }
        timespec due = now;
        for (char c : reply) {
            addNs(due, kCharNs);
            ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr);
            if (::write(master, &c, 1) < 0)
                return 0;
        }
    }
}
