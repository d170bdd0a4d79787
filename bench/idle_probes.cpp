// The figures idle_cost prints beside the processes it watches: the wall time
// of one exchange, a log line's cost, how soon the first live value is
// served, and the processor time of a week's chart request.
#include "idle_probes.h"

#include "app/program.h"
#include "process_sample.h"
#include "station/diagnostic_log.h"
#include "station/serial_station_port.h"
#include "station/station_link.h"
#include "station/watch_model.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

// Wall time of polls (":", 20 ms, "F", 80 ms, the record, 20 ms) against a board.
void printExchangeTimes(const QString &device, const char *what)
{
    resetProgram();
    WeatherState weather;
    WatchModel handBox(prog().settings, weather);
    const StationContext ctx{prog().settings, weather, handBox};
    SerialStationPort port([device](int) { return device; });
    port.setSpeed(9600);
    port.setReceiveTimeout(4);
    if (port.connectPort() != PortResult::Ok) {
        std::printf("exchange: cannot open %s\n", qPrintable(device));
        return;
    }
    StationLink link(port, ctx);
    std::vector<double> ms;
    for (int k = 0; k < 21; ++k) {
        QElapsedTimer t;
        t.start();
        const bool ok = link.poll() == StationLink::PollResult::Accepted;
        if (ok && k > 0) // the first teaches the port the record's length
            ms.push_back(t.nsecsElapsed() / 1e6);
        QThread::msleep(200);
    }
    port.disconnectPort();
    if (ms.empty()) {
        std::printf("exchange (%s): no record\n", what);
        return;
    }
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double v : ms)
        sum += v;
    std::printf("exchange wall time (%s): median %.2f ms, mean %.2f, min %.2f, max %.2f over %zu polls "
                "\n",
                what, ms[ms.size() / 2], sum / double(ms.size()), ms.front(), ms.back(), ms.size());
}

// The log's per-line sync (written, then fdatasync) in a folder on the same
// disk as the runs' logs: wall and processor time of one line.
void printLogLineCost(const QString &folder)
{
    DiagnosticLog log;
    if (!log.open(folder, QString())) {
        std::printf("log line: cannot open a log in %s\n", qPrintable(folder));
        return;
    }
    const QString line(180, QLatin1Char('7')); // about a real line's length
    std::vector<double> wall;
    double cpuNs = 0;
    for (int k = 0; k < 50; ++k) {
        timespec c0{}, c1{};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c0);
        QElapsedTimer t;
        t.start();
        log.writeLine(line);
        wall.push_back(t.nsecsElapsed() / 1e6);
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c1);
        cpuNs += double(c1.tv_sec - c0.tv_sec) * 1e9 + double(c1.tv_nsec - c0.tv_nsec);
    }
    log.close();
    std::sort(wall.begin(), wall.end());
    std::printf("log line with its sync: wall median %.2f ms, max %.2f ms; processor %.1f us a line\n",
                wall[wall.size() / 2], wall.back(), cpuNs / 50 / 1000);
}

QByteArray httpGet(quint16 port, const QByteArray &path)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(1000))
        return {};
    socket.write("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port)
                 + "\r\nConnection: close\r\n\r\n");
    // Until the body's length is in (the server may keep the connection).
    QByteArray reply;
    while (socket.waitForReadyRead(5000)) {
        reply += socket.readAll();
        const qsizetype head = reply.indexOf("\r\n\r\n");
        if (head < 0)
            continue;
        const qsizetype at = reply.toLower().indexOf("content-length:");
        if (at >= 0 && at < head) {
            const qsizetype end = reply.indexOf("\r\n", at);
            const qsizetype length = reply.mid(at + 15, end - at - 15).trimmed().toLongLong();
            if (reply.size() >= head + 4 + length)
                break;
        }
    }
    return reply;
}

std::unique_ptr<QProcess> startHeadless(const QString &dir, quint16 port, const QStringList &more, const QString &program)
{
    auto p = std::make_unique<QProcess>();
    p->setProgram(program.isEmpty() ? QStringLiteral(TARNWICK_BINARY) : program);
    p->setArguments(QStringList{QStringLiteral("--headless"), QStringLiteral("--profile"), dir + QStringLiteral("/profile.ini"),
                                QStringLiteral("--log-dir"), dir, QStringLiteral("--alpaca-port"), QString::number(port)}
                    + more);
    p->setStandardOutputFile(QProcess::nullDevice());
    p->setStandardErrorFile(QProcess::nullDevice());
    p->start();
    p->waitForStarted(5000);
    return p;
}

namespace {
bool servesFresh(quint16 port)
{
    return httpGet(port, "/tarnwick/v1/live").contains("\"fresh\":true");
}
} // namespace

double firstLiveServedSeconds(quint16 port, const QString &program)
{
    QTemporaryDir dir;
    QElapsedTimer t;
    t.start();
    std::unique_ptr<QProcess> p =
        startHeadless(dir.path(), port, {QStringLiteral("--simulate"), QStringLiteral("--archive"), dir.filePath(QStringLiteral("a.sqlite"))},
                      program);
    while (t.elapsed() < 15000 && !servesFresh(port))
        QThread::msleep(10);
    const double s = t.elapsed() / 1000.0;
    p->terminate();
    p->waitForFinished(5000);
    return s;
}

void printFirstLiveSideBySide(QStringList programs, quint16 firstPort)
{
    constexpr int kStarts = 5;
    if (programs.isEmpty())
        programs << QStringLiteral(TARNWICK_BINARY);
    // Taking turns, so the load of the moment weighs on each alike.
    std::vector<std::vector<double>> seconds(size_t(programs.size()));
    for (int k = 0; k < kStarts; ++k)
        for (qsizetype i = 0; i < programs.size(); ++i)
            seconds[size_t(i)].push_back(firstLiveServedSeconds(firstPort++, programs[i]));
    std::printf("first live value served after start (--simulate), %d starts each:\n", kStarts);
    for (qsizetype i = 0; i < programs.size(); ++i) {
        std::vector<double> &s = seconds[size_t(i)];
        std::sort(s.begin(), s.end());
        std::printf("  %s: median %.2f s, worst %.2f s\n", qPrintable(programs[i]), s[s.size() / 2], s.back());
    }
}

double weekChartRequestMs(quint16 port)
{
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("day.sqlite"));
    // A day of one-second observations, as archive_bench writes them.
    QProcess fill;
    fill.setStandardOutputFile(QProcess::nullDevice());
    fill.start(QStringLiteral(ARCHIVE_BENCH_BINARY), {archive});
    if (!fill.waitForFinished(600000) || fill.exitCode() != 0)
        return -1;
    std::unique_ptr<QProcess> p = startHeadless(dir.path(), port, {QStringLiteral("--simulate"), QStringLiteral("--archive"), archive});
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < 15000 && !servesFresh(port))
        QThread::msleep(50);
    QThread::sleep(2);
    const qint64 pid = p->processId();
    // The program's idle rate, taken off the requests' time.
    ProcessSample a = sampleProcess(pid);
    QThread::sleep(3);
    ProcessSample b = sampleProcess(pid);
    const double idleNsPerMs = double(b.ns - a.ns) / 3000.0;
    constexpr int kRequests = 5;
    QElapsedTimer t;
    t.start();
    bool ok = true;
    for (int k = 0; k < kRequests; ++k)
        ok = ok && httpGet(port, "/tarnwick/v1/history?from=604800s&to=now&step=1800").contains("\"time\"");
    const ProcessSample c = sampleProcess(pid);
    const double busyNs = double(c.ns - b.ns) - idleNsPerMs * double(t.elapsed());
    p->terminate();
    p->waitForFinished(5000);
    return ok ? busyNs / kRequests / 1e6 : -1;
}
