#include "station/diagnostic_log.h"

#include "core/messages.h"
#include "core/number_format.h"
#include "station/station_logging.h"

#include <QCoreApplication>
#include <QDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString formatted(double value, const char *pattern, int width)
{
    return rightAlign(formatNumber(value, pattern), width);
}

// A hand box text read as a number ("0676" is 676); a non-number stays as text.
QString formattedText(const QString &text, const char *pattern, int width)
{
    try {
        return formatted(realFromText(text), pattern, width);
    } catch (const ConversionError &) {
        return rightAlign(text, width);
    }
}

QString twoDigits(int v)
{
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

} // namespace

QString logTimeStamp(const QDateTime &when)
{
    const QDate d = when.date();
    const QTime t = when.time();
    const int hour12 = t.hour() % 12 == 0 ? 12 : t.hour() % 12;
    return twoDigits(d.month()) + QLatin1Char('/') + twoDigits(d.day()) + QLatin1Char('/')
           + QStringLiteral("%1").arg(d.year(), 4, 10, QLatin1Char('0')) + QLatin1Char(' ')
           + twoDigits(hour12) + QLatin1Char(':') + twoDigits(t.minute())
           + (t.hour() < 12 ? QStringLiteral(" AM") : QStringLiteral(" PM"));
}

QString diagnosticLogLine(const Observation &o, const QDateTime &when)
{
    const ShownTexts &shown = o.extras.shown;
    const BoardStartFlags &start = o.extras.start;
    QString line = logTimeStamp(when);
    line += QStringLiteral(" WingAvg = ") + formatted(o.windAverage, "0.0", 6);
    line += QStringLiteral(" Gusts = ") + formatted(o.windGust, "0.0", 6);
    line += QStringLiteral(" Rain = ") + formatted(o.rainReading, "0", 4);
    line += QStringLiteral(" TpT = ") + formatted(o.thermopileC, "0.0", 6);
    line += QStringLiteral(" AmbT = ") + formatted(o.ambientC, "0.0", 6);
    line += QStringLiteral(" DpT = ") + formatted(o.dewPointC, "0.0", 6);
    line += QStringLiteral(" RH = ") + formattedText(shown.humidity, "0.0", 5);
    line += QStringLiteral(" MeasSky = ") + formattedText(shown.measuredSky, "0.0", 6);
    line += QStringLiteral(" CalcSky = ") + formattedText(shown.calculatedSky, "0.0", 6);
    line += QStringLiteral(" Diff = ") + formattedText(shown.skyDifference, "0.0", 6);
    line += QStringLiteral(" TPraw = ") + formattedText(shown.rawSky, "0.0", 6);
    line += QStringLiteral(" Hraw = ") + formattedText(shown.rawHumidity, "0", 6);
    line += QStringLiteral(" Brght = ") + formattedText(shown.brightness, "0", 6);
    line += QStringLiteral(" HTRaL = ") + formatted(start.heaterAllowed, "0", 3);
    line += QStringLiteral(" HTRoN = ") + formatted(start.heaterOn, "0", 3);
    line += QStringLiteral(" RLYaL = ") + formatted(start.relayAllowed, "0", 3);
    line += QStringLiteral(" RLYoN = ") + formatted(start.relayOn, "0", 3);
    line += QStringLiteral(" ALght = ") + formatted(start.lightAllowed, "0", 3);
    line += QStringLiteral(" AWnd = ") + formatted(start.windAllowed, "0", 3);
    return line;
}

DiagnosticLog::~DiagnosticLog()
{
    close();
}

QString DiagnosticLog::defaultFolder()
{
    return QCoreApplication::applicationDirPath();
}

QString DiagnosticLog::fallbackFolder()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/tarnwick");
}

bool DiagnosticLog::openIn(const QString &folder)
{
    if (folder.isEmpty())
        return false;
    m_file.setFileName(QDir(folder).filePath(QStringLiteral("log.txt")));
    // Unbuffered: a line either reaches the file at once or its failure shows at once.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    m_path = m_file.fileName();
    return true;
}

bool DiagnosticLog::open(const QString &folder, const QString &fallback)
{
    close();
    m_writeFailureReported = false;
    m_failed = false;
    if (openIn(folder))
        return true;
    const QString failedPath = m_file.fileName();
    const QString reason = m_file.errorString();
    if (!fallback.isEmpty() && QDir().mkpath(fallback) && openIn(fallback)) {
        printNotice(QStringLiteral("cannot open the log %1 (%2); logging to %3")
                        .arg(failedPath, reason, m_file.fileName()));
        return true;
    }
    printNotice(QStringLiteral("cannot open the log %1 (%2) nor in %3; running without a log")
                    .arg(failedPath, reason, fallback));
    return false;
}

namespace {
// A write cut short leaves a line without its end: true when the file's last
// byte is not a line feed.
bool endsInsideALine(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    char last = '\n';
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 && ::pread(fd, &last, 1, st.st_size - 1) != 1)
        last = '\n';
    ::close(fd);
    return last != '\n';
}

// Every byte, or the OS reason it stopped.
int writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        done += n;
    }
    return 0;
}
} // namespace

bool DiagnosticLog::writeLine(const QString &line)
{
    if (m_path.isEmpty())
        return false;
    QByteArray bytes = line.toLocal8Bit() + "\r\n";
    if (m_failed) {
        // After a failure the file is opened afresh (an I/O error can leave the
        // old descriptor unusable), and a torn line is ended first.
        m_file.close();
        m_file.setFileName(m_path);
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
            reportFailure(m_file.errorString());
            return false;
        }
        if (endsInsideALine(m_path))
            bytes.prepend("\r\n");
    }
    const int fd = m_file.handle();
    struct stat before {};
    const bool sized = ::fstat(fd, &before) == 0;
    int err = writeAll(fd, bytes);
    // A full disk cuts a line short: it is taken back, so the file holds whole lines only.
    if (err != 0 && sized && ::ftruncate(fd, before.st_size) != 0)
        qCDebug(lcStation) << "cannot take back a torn log line:" << std::strerror(errno);
    // Down to the disk, so a power cut loses nothing already logged.
    if (err == 0 && ::fdatasync(fd) != 0 && errno != EINVAL)
        err = errno;
    if (err != 0) {
        reportFailure(QString::fromLocal8Bit(std::strerror(err)));
        return false;
    }
    if (m_writeFailureReported)
        printNotice(QStringLiteral("the log %1 is written again").arg(m_path));
    m_failed = false;
    m_writeFailureReported = false;
    return true;
}

void DiagnosticLog::reportFailure(const QString &reason)
{
    m_failed = true;
    if (!m_writeFailureReported) {
        printNotice(QStringLiteral("cannot write to the log %1 (%2); the station goes on").arg(m_path, reason));
        if (m_writeFailed)
            m_writeFailed(QStringLiteral("%1: %2").arg(m_path, reason));
    }
    m_writeFailureReported = true;
}

void DiagnosticLog::close()
{
    if (m_file.isOpen())
        m_file.close();
    m_path.clear();
}

bool DiagnosticLog::openChosen(const QString &chosenFolder)
{
    return open(chosenFolder.isEmpty() ? defaultFolder() : chosenFolder, fallbackFolder());
}

void DiagnosticLog::writeReadings(const Observation &o)
{
    try {
        writeLine(diagnosticLogLine(o, QDateTime::currentDateTime()));
    } catch (...) {
    }
}
