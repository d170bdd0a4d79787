#include "station/board_simulator.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr char kProbe = 6;
constexpr int kMaxCommand = 16; // longer than any request; garbage is dropped

// Digits expected after ":S<letter>"; 0 means "as many as come" (the multiplier).
int settingDigits(char letter)
{
    switch (letter) {
    case 'H':
    case 'r':
        return 1;
    case 'h':
        return 2;
    case 'T':
    case 'W':
    case 'R':
    case 'L':
    case 'C':
    case 'd':
        return 3;
    case 'M':
        return 0;
    default:
        return -1;
    }
}
} // namespace

QByteArray BoardProtocol::feed(const QByteArray &bytes, double elapsedSeconds)
{
    m_pendingSeconds += elapsedSeconds;
    QByteArray reply;
    for (char c : bytes) {
        if (c == ':') {
            if (m_command.startsWith(":SM") && m_command.size() > 3)
                applySetting('M', m_command.mid(3));
            m_command = ":";
            continue;
        }
        if (m_command.isEmpty()) {
            if (c == kProbe)
                reply += 'W'; // "#", code 6: the board says who it is
            continue;         // "#" and "p" outside a request need no answer
        }
        m_command += c;
        if (m_command == ":F") {
            m_weather.advance(m_pendingSeconds);
            m_pendingSeconds = 0;
            reply += formatBoardRecord(reading()).toLatin1();
            ++m_polls;
            m_command.clear();
            continue;
        }
        if (m_command.size() > kMaxCommand) {
            m_command.clear();
            continue;
        }
        command(m_command);
    }
    return reply;
}

void BoardProtocol::command(const QByteArray &cmd)
{
    if (cmd.size() == 4 && cmd[1] == 'A') {
        const bool on = cmd[3] == '1';
        switch (cmd[2]) {
        case 'H':
            m_heaterAuto = on;
            break;
        case 'R':
            m_relayAuto = on;
            break;
        case 'L':
            m_lightAlarm = on;
            break;
        case 'W':
            m_windAlarm = on;
            break;
        default:
            break;
        }
        m_command.clear();
        return;
    }
    if (cmd.size() >= 3 && cmd[1] == 'S') {
        const int want = settingDigits(cmd[2]);
        if (want < 0) {
            m_command.clear();
            return;
        }
        if (want > 0 && cmd.size() == 3 + want) {
            applySetting(cmd[2], cmd.mid(3));
            m_command.clear();
        }
        return;
    }
    if (cmd.size() >= 2 && cmd[1] != 'A' && cmd[1] != 'S')
        m_command.clear(); // not a request this board knows
}

void BoardProtocol::applySetting(char letter, const QByteArray &digits)
{
    bool ok = false;
    const int v = digits.toInt(&ok);
    if (!ok)
        return;
    switch (letter) {
    case 'H':
        m_heaterOn = v == 1;
        break;
    case 'r':
        m_relayOn = v == 1;
        break;
    case 'h':
        m_thresholds.hysteresisTenths = v;
        break;
    case 'T':
        m_thresholds.offsetTenths = v;
        break;
    case 'W':
        m_thresholds.wind = v;
        break;
    case 'R':
        m_thresholds.rain = v;
        break;
    case 'L':
        m_thresholds.light = v;
        break;
    case 'C':
        m_thresholds.windTimer = v;
        break;
    case 'M':
        m_thresholds.windMultiplier = v;
        break;
    case 'd':
        m_thresholds.heaterOnTime = v;
        break;
    default:
        break;
    }
}

BoardReading BoardProtocol::reading() const
{
    BoardReading r;
    m_weather.fill(r);
    const bool dewy = m_weather.relativeHumidity() > 85;
    const bool raining = r.rainCount > m_thresholds.rain;
    const bool daylight = r.brightness <= m_thresholds.light;
    const bool windy = r.windCount > m_thresholds.wind;
    r.heaterAllowed = m_heaterAuto;
    r.heaterOn = m_heaterAuto ? dewy : m_heaterOn;
    r.relayAllowed = m_relayAuto;
    r.relayOn = m_relayAuto ? (raining || (m_lightAlarm && daylight) || (m_windAlarm && windy)) : m_relayOn;
    r.lightAllowed = m_lightAlarm;
    r.windAllowed = m_windAlarm;
    r.trigger = r.ambientHundredths + m_thresholds.offsetTenths * 10;
    return r;
}

BoardSimulator::BoardSimulator(quint32 seed, QObject *parent) : QObject(parent), m_protocol(seed) {}

BoardSimulator::~BoardSimulator()
{
    stop();
}

void BoardSimulator::stop()
{
    delete m_notifier;
    m_notifier = nullptr;
    if (m_slaveHold >= 0)
        ::close(m_slaveHold);
    if (m_master >= 0)
        ::close(m_master);
    m_slaveHold = m_master = -1;
}

bool BoardSimulator::start()
{
    auto fail = [this](const char *what) {
        m_error = QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
        stop();
        return false;
    };
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0)
        return fail("cannot open a pseudo-terminal");
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return fail("cannot unlock the pseudo-terminal");
    const char *name = ::ptsname(m_master);
    if (!name)
        return fail("pseudo-terminal has no name");
    m_slavePath = QString::fromLocal8Bit(name);
    m_slaveHold = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_slaveHold < 0)
        return fail("cannot open the pseudo-terminal's far end");
    // Raw bytes both ways: no echo, no line editing, no CR/LF translation.
    termios tio{};
    if (::tcgetattr(m_slaveHold, &tio) != 0)
        return fail("cannot read the terminal settings");
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    if (::tcsetattr(m_slaveHold, TCSANOW, &tio) != 0)
        return fail("cannot set raw mode");
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &BoardSimulator::onReadable);
    m_clock.start();
    return true;
}

void BoardSimulator::onReadable()
{
    char buf[256];
    const ssize_t n = ::read(m_master, buf, sizeof buf);
    if (n <= 0) {
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        // Cannot happen while the far end is held open; never spin on it.
        m_notifier->setEnabled(false);
        return;
    }
    // The link sends a character at a time: look at the control file twice a second at most.
    if (!m_controlPath.isEmpty() && (!m_controlClock.isValid() || m_controlClock.elapsed() >= 500))
        readControlFile();
    if (!m_answering)
        return;
    const double elapsed = m_clock.restart() / 1000.0;
    const QByteArray reply = m_protocol.feed(QByteArray(buf, int(n)), elapsed);
    if (!reply.isEmpty()) {
        const ssize_t written = ::write(m_master, reply.constData(), size_t(reply.size()));
        (void)written; // a full buffer means nobody reads; the poll will ask again
    }
}

void BoardSimulator::setControlFile(const QString &path)
{
    m_controlPath = path;
    m_controlStamp = {};
    m_controlClock.invalidate();
    if (!path.isEmpty())
        readControlFile();
}

void BoardSimulator::readControlFile()
{
    m_controlClock.start();
    const QFileInfo info(m_controlPath);
    const QDateTime stamp = info.exists() ? info.lastModified() : QDateTime();
    if (stamp == m_controlStamp && stamp.isValid())
        return;
    m_controlStamp = stamp;
    QFile file(m_controlPath);
    QString text;
    if (file.open(QIODevice::ReadOnly))
        text = QString::fromUtf8(file.read(4096));
    m_protocol.weather().force(parseWeatherForcing(text));
}
