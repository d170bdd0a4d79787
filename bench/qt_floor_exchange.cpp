// floor_exchange's exchange driven by a Qt event loop instead of blocking
// calls: one precise timer per pause and a read notifier for the last
// characters, no parsing, no log, no archive. What the event loop alone adds
// to the exchange; idle_cost runs it beside floor_exchange on the same kind
// of board.
//   qt_floor_exchange DEVICE
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr int kCharUs = 10 * 1000000 / 9600; // start, 8 data and stop bits

class Exchange : public QObject {
public:
    explicit Exchange(int fd) : m_fd(fd), m_notifier(fd, QSocketNotifier::Read)
    {
        m_notifier.setEnabled(false);
        connect(&m_notifier, &QSocketNotifier::activated, this, [this] { readSome(); });
        m_second.setTimerType(Qt::PreciseTimer);
        m_second.start(1000);
        connect(&m_second, &QTimer::timeout, this, [this] { send(':', 20, [this] { askRecord(); }); });
    }

private:
    template <typename Next>
    void send(char c, int pauseMs, Next next)
    {
        if (::write(m_fd, &c, 1) != 1)
            std::perror("write");
        QTimer::singleShot(pauseMs, Qt::PreciseTimer, this, next);
    }
    void askRecord()
    {
        m_have = 0;
        send('F', 80, [this] { readSome(); });
    }
    void readSome()
    {
        const ssize_t r = ::read(m_fd, m_buf + m_have, sizeof m_buf - m_have);
        if (r > 0)
            m_have += size_t(r);
        if (std::memchr(m_buf, '#', m_have) || m_have == sizeof m_buf) {
            m_notifier.setEnabled(false);
            m_expected = m_have;
            return; // the closing 20 ms pause is the idle time before the next second
        }
        if (m_expected > m_have + 1) {
            m_notifier.setEnabled(false);
            QTimer::singleShot(int((m_expected - m_have - 1) * kCharUs / 1000 + 1), Qt::PreciseTimer, this,
                               [this] { readSome(); });
        } else {
            m_notifier.setEnabled(true);
        }
    }

    int m_fd;
    QSocketNotifier m_notifier;
    QTimer m_second;
    char m_buf[512] = {};
    size_t m_have = 0;
    size_t m_expected = 0;
};
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DEVICE\n", argv[0]);
        return 2;
    }
    const int fd = ::open(argv[1], O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        std::perror(argv[1]);
        return 1;
    }
    termios tio{};
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        cfsetspeed(&tio, B9600);
        tcsetattr(fd, TCSANOW, &tio);
    }
    Exchange exchange(fd);
    return app.exec();
}
