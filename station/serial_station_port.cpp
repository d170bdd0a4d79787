#include "station/serial_station_port.h"
#include "station/station_logging.h"

#include "core/port_mapping.h"

#include "core/messages.h"
#include "core/wait.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QScopeGuard>
#include <QSocketNotifier>
#include <algorithm>
#include <sys/ioctl.h>
#include <unistd.h>


SerialStationPort::SerialStationPort(DeviceResolver resolver) : m_resolver(std::move(resolver)) {}

namespace {
// The process named in a lock file of the kind serial programs leave
// ("LCK..ttyUSB0" in /var/lock, /run/lock or /tmp), or empty.
QString lockHolder(const QString &device)
{
    const QString name = QStringLiteral("LCK..") + QFileInfo(device).fileName();
    for (const char *dir : {"/var/lock", "/run/lock", "/tmp", "/var/tmp", "/var/spool/locks"}) {
        QFile lock(QString::fromLatin1(dir) + QLatin1Char('/') + name);
        if (!lock.open(QIODevice::ReadOnly))
            continue;
        // The process id first, as text (or, in old files, four binary bytes).
        bool ok = false;
        const qint64 pid = QString::fromLatin1(lock.readLine(64)).trimmed().toLongLong(&ok);
        if (!ok || pid <= 0)
            return QStringLiteral("a lock file ") + lock.fileName();
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        const QString program = comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed() : QString();
        return program.isEmpty() ? QStringLiteral("process %1").arg(pid) : QStringLiteral("%1 (process %2)").arg(program).arg(pid);
    }
    return {};
}
} // namespace

QString openFailureReason(QSerialPort::SerialPortError error, const QString &systemText, const QString &device)
{
    switch (error) {
    case QSerialPort::PermissionError: {
        // Read and write allowed to us: then another program holds the port
        // (its lock file, or the device busy), and group membership will not help.
        const bool allowed = !device.isEmpty() && ::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0;
        if (allowed) {
            const QString holder = lockHolder(device);
            return QStringLiteral("in use by another program (%1)%2; close it, or choose another port")
                .arg(systemText, holder.isEmpty() ? QString() : QStringLiteral(": held by ") + holder);
        }
        return QStringLiteral("permission denied (%1); to use serial ports, add your user to the "
                              "dialout group (sudo usermod -aG dialout $USER) and log in again")
            .arg(systemText);
    }
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("no such device (%1); check the cable, or map the port to the right device "
                              "(tarnwick config set \"Ports/COM <n>\" /dev/ttyUSB0) or use --serial-device")
            .arg(systemText);
    case QSerialPort::OpenError:
        return QStringLiteral("the device is already open (%1)").arg(systemText);
    default:
        return systemText;
    }
}

QString SerialStationPort::deviceForPort(int16_t number) const
{
    return resolvedDevicePath(m_resolver ? m_resolver(number) : defaultDeviceForPort(number));
}

PortResult SerialStationPort::connectPort()
{
    if (m_port.isOpen())
        return PortResult::Ok;
    m_device = deviceForPort(m_portNumber);
    m_port.setPortName(m_device);
    m_pending.clear();
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_error = openFailureReason(m_port.error(), m_port.errorString(), m_device);
        return PortResult::PortError;
    }
    const bool configured = m_port.setBaudRate(m_baud) && m_port.setDataBits(QSerialPort::Data8)
        && m_port.setParity(QSerialPort::NoParity) && m_port.setStopBits(QSerialPort::OneStop)
        && m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        m_error = QStringLiteral("cannot set 9600 baud 8N1 (%1)").arg(m_port.errorString());
        m_port.close();
        return PortResult::PortError;
    }
    m_error.clear();
    m_lost = false;
    // Bytes are fetched when a receive asks for them; between receives
    // (the waits after a poll) nothing arriving wakes the thread.
    watchDevice(false);
    return PortResult::Ok;
}

void SerialStationPort::disconnectPort()
{
    if (m_port.isOpen())
        m_port.close();
    m_pending.clear();
}

PortResult SerialStationPort::clearBuffers()
{
    if (!m_port.isOpen())
        return PortResult::PortError;
    m_pending.clear();
    m_port.readAll(); // reading turns the port's watch back on
    watchDevice(false);
    return m_port.clear() ? PortResult::Ok : PortResult::PortError;
}

PortResult SerialStationPort::transmit(const QString &text)
{
    if (!m_port.isOpen())
        return PortResult::PortError;
    const QByteArray bytes = text.toLatin1();
    qCDebug(lcStation) << "sent" << bytes;
    if (m_port.write(bytes) != bytes.size()) {
        m_error = m_port.errorString();
        return PortResult::PortError;
    }
    // Small writes; hand them to the device now rather than on the next event.
    m_port.flush();
    return PortResult::Ok;
}

void SerialStationPort::watchDevice(bool on)
{
    // The port's read notifier is its child; without it the wait is timed only.
    for (QSocketNotifier *n : m_port.findChildren<QSocketNotifier *>())
        if (n->type() == QSocketNotifier::Read)
            n->setEnabled(on);
}

bool SerialStationPort::watchingDevice() const
{
    for (QSocketNotifier *n : m_port.findChildren<QSocketNotifier *>())
        if (n->type() == QSocketNotifier::Read && n->isEnabled())
            return true;
    return false;
}

bool SerialStationPort::takeAvailable()
{
    // Bytes that came while the device was not watched: fetch them now.
    const int fd = int(m_port.handle());
    int held = 0;
    if (fd >= 0 && ::ioctl(fd, FIONREAD, &held) == 0 && held > 0)
        m_port.waitForReadyRead(0);
    if (m_port.bytesAvailable() > 0) {
        const QByteArray bytes = m_port.readAll();
        qCDebug(lcStation) << "received" << bytes;
        m_pending += bytes;
    }
    if (m_port.error() != QSerialPort::ResourceError)
        return true;
    // The device went away (cable pulled): the link reports it and reconnects.
    if (!m_lost) {
        m_lost = true;
        m_error = m_port.errorString();
    }
    return false;
}

bool SerialStationPort::waitForData(int remainingMs, int missing, WaitProgress &progress)
{
    int waitMs = remainingMs;
    // The first timed wait, and further ones while they bring characters.
    const bool timed = missing > 1 && (!progress.timed || m_pending.size() > progress.pendingAt);
    progress = {timed, m_pending.size()};
    if (timed) {
        // 10 bits a character. The next one is due within one character's
        // time, so the last is due from (missing - 1) characters' time on:
        // wake about then, and wait for a last straggler watching the device.
        waitMs = std::min<qint64>(remainingMs, qint64(missing - 1) * 10000 / std::max(1, m_baud) + 1);
    }
    watchDevice(!timed);
    WaitWake news;
    QObject::connect(&m_port, &QSerialPort::readyRead, &news, &WaitWake::wake);
    QObject::connect(&m_port, &QSerialPort::errorOccurred, &news, &WaitWake::wake);
    QObject::connect(&m_port, &QSerialPort::aboutToClose, &news, &WaitWake::wake);
    return waitUntil(news, std::max(1, waitMs)) != WaitEnd::Quitting;
}

PortResult SerialStationPort::receive(int n, QString &out)
{
    const QDeadlineTimer deadline(m_timeoutMs);
    const auto unwatch = qScopeGuard([this] { watchDevice(false); });
    WaitProgress progress;
    for (;;) {
        if (!m_port.isOpen())
            return PortResult::PortError;
        if (!takeAvailable())
            return PortResult::PortError;
        if (m_pending.size() >= n) {
            out = QString::fromLatin1(m_pending.left(n));
            m_pending.remove(0, n);
            return PortResult::Ok;
        }
        if (deadline.hasExpired())
            return PortResult::TimedOut;
        if (!waitForData(int(deadline.remainingTime()), int(n - m_pending.size()), progress))
            return PortResult::TimedOut; // shutting down: no answer will be read now
    }
}

PortResult SerialStationPort::receiveUntil(const QString &terminator, QString &out)
{
    const QByteArray term = terminator.toLatin1();
    const QDeadlineTimer deadline(m_timeoutMs);
    const auto unwatch = qScopeGuard([this] { watchDevice(false); });
    WaitProgress progress;
    for (;;) {
        if (!m_port.isOpen())
            return PortResult::PortError;
        if (!takeAvailable())
            return PortResult::PortError;
        const qsizetype at = m_pending.indexOf(term);
        if (at >= 0 && at + term.size() <= kMaxAnswer) {
            const qsizetype end = at + term.size();
            out = QString::fromLatin1(m_pending.left(end));
            m_pending.remove(0, end);
            m_answerLength = int(end);
            return PortResult::Ok;
        }
        if (m_pending.size() >= kMaxAnswer) {
            m_pending.clear();
            return PortResult::Overflow;
        }
        if (deadline.hasExpired())
            return PortResult::TimedOut; // the partial answer stays until the next clear
        if (!waitForData(int(deadline.remainingTime()), m_answerLength - int(m_pending.size()), progress))
            return PortResult::TimedOut; // shutting down: no answer will be read now
    }
}
