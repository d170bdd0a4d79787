// What the program costs its clients, and how that holds as the archive
// grows: processor time per live answer on archives of 0, 1, 30 and 365
// days; 20 keep-alive clients asking as fast as they can; a realistic night
// (a page, our INDI driver, an MQTT broker with a subscriber and a
// SafetyMonitor client) beside the idle program and a bare Qt server; and
// archives of 1 and 10 years (size, history answers, start-up, the history
// command). Each figure with its goal and verdict; given several builds of
// the program, each is measured the same way, side by side in one table.
//   perf_bench [--seconds N] [PROGRAM...]   (default: this build's program, 60 s phases)
//   perf_bench --make-archive DAYS FILE     (only a generated archive, kept)
#include "archive_fill.h"
#include "perf_probes.h"
#include "perf_table.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <map>

namespace {

struct Bench {
    QStringList programs;
    int seconds = 60;
    QTemporaryDir dir;
    std::map<int, QString> archives; // days -> file, made once
    PerfTable table;
    QDateTime end = QDateTime::currentDateTimeUtc();
    int minuteDays = 3 * 366; // the default retention of minute rows

    // A fresh copy of the archive of `days` (none for 0: an empty one).
    QString archiveCopy(int days)
    {
        if (!archives.count(days)) {
            const QString path = dir.filePath(QStringLiteral("made-%1.sqlite").arg(days));
            if (days > 0) {
                QElapsedTimer t;
                t.start();
                if (!fillArchive(path, days, 30, minuteDays, end))
                    qFatal("cannot make an archive of %d days", days);
                std::fprintf(stderr, "made an archive of %d days in %.1f s: %.1f MB\n", days, t.elapsed() / 1000.0,
                             archiveBytes(path) / 1e6);
            }
            archives[days] = path;
        }
        static int copies = 0;
        const QString copy = dir.filePath(QStringLiteral("copy-%1.sqlite").arg(++copies));
        if (days > 0)
            QFile::copy(archives[days], copy);
        return copy;
    }
};

void liveCost(Bench &b)
{
    std::vector<double> oneDay(size_t(b.programs.size())), lastDay(oneDay.size());
    for (int days : {0, 1, 30, 365}) {
        std::vector<double> ms;
        for (const QString &program : b.programs) {
            Program p(program, b.archiveCopy(days));
            p.waitUntilLive();
            KeepAliveClient c(p.port);
            ms.push_back(cpuMsPerCall(p.pid(), 300, [&c] { return !c.get("/tarnwick/v1/live").isEmpty(); }));
        }
        b.table.add(QStringLiteral("/live: processor per request, %1-day archive").arg(days), "<= 0.3 ms", ms, "%.3f ms",
                    [](double v) { return v >= 0 && v <= 0.3; });
        if (days == 1)
            oneDay = ms;
        lastDay = ms;
    }
    std::vector<double> ratio;
    for (size_t i = 0; i < oneDay.size(); ++i)
        ratio.push_back(lastDay[i] / oneDay[i]);
    b.table.add("/live: 365-day archive / 1-day archive", "<= 1.2x", ratio, "%.2fx", [](double v) { return v <= 1.2; });
}

// The observations' time in a live answer.
QDateTime valuesFrom(const QByteArray &body)
{
    const qsizetype v = body.indexOf("\"values_from\":\"");
    return v < 0 ? QDateTime() : QDateTime::fromString(QString::fromLatin1(body.mid(v + 15, body.indexOf('"', v + 15) - v - 15)), Qt::ISODateWithMs);
}

// 20 connections each asking again as soon as its answer is in.
struct Flood {
    int answers = 0;
    double worstGapS = 0;
    QDateTime lastValues;
};

void runFlood(quint16 port, int clients, int seconds, Flood &f)
{
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    std::vector<QByteArray> pending(static_cast<size_t>(clients));
    const QByteArray request = "GET /tarnwick/v1/live HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\n\r\n";
    for (int i = 0; i < clients; ++i) {
        auto s = std::make_unique<QTcpSocket>();
        QTcpSocket *raw = s.get();
        QObject::connect(raw, &QTcpSocket::connected, raw, [raw, request] { raw->write(request); });
        QByteArray &buffer = pending[size_t(i)];
        QObject::connect(raw, &QTcpSocket::readyRead, raw, [raw, &f, &buffer, request] {
            buffer += raw->readAll();
            for (;;) {
                const qsizetype head = buffer.indexOf("\r\n\r\n");
                const qsizetype at = buffer.indexOf("Content-Length:");
                if (head < 0 || at < 0)
                    return;
                const qsizetype length = buffer.mid(at + 15, buffer.indexOf("\r\n", at) - at - 15).trimmed().toLongLong();
                if (buffer.size() < head + 4 + length)
                    return;
                const QByteArray body = buffer.mid(head + 4, length);
                buffer.remove(0, head + 4 + length);
                ++f.answers;
                if (const QDateTime t = valuesFrom(body); t.isValid()) {
                    if (f.lastValues.isValid() && t > f.lastValues)
                        f.worstGapS = std::max(f.worstGapS, f.lastValues.msecsTo(t) / 1000.0);
                    if (!f.lastValues.isValid() || t > f.lastValues)
                        f.lastValues = t;
                }
                raw->write(request);
            }
        });
        s->connectToHost(QStringLiteral("127.0.0.1"), port);
        sockets.push_back(std::move(s));
    }
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
}

// The longest gap between observations with one client asking ten times a
// second: what this machine's load alone does to the watch's cycle.
double quietGapS(quint16 port, int seconds)
{
    KeepAliveClient c(port);
    QDateTime last;
    double worst = 0;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < seconds * 1000) {
        const QDateTime at = valuesFrom(c.get("/tarnwick/v1/live"));
        if (last.isValid() && at > last)
            worst = std::max(worst, last.msecsTo(at) / 1000.0);
        if (at.isValid() && (!last.isValid() || at > last))
            last = at;
        QThread::msleep(100);
    }
    return worst;
}

void manyClients(Bench &b)
{
    std::vector<double> rate, gap, quiet;
    for (const QString &program : b.programs) {
        Program p(program, b.archiveCopy(1));
        p.waitUntilLive();
        quiet.push_back(quietGapS(p.port, 20));
        Flood f;
        runFlood(p.port, 20, b.seconds, f);
        rate.push_back(f.answers / double(b.seconds));
        gap.push_back(f.worstGapS);
    }
    b.table.add(QStringLiteral("20 keep-alive clients on /live for %1 s: answers/s").arg(b.seconds), ">= 2000/s", rate, "%.0f/s",
                [](double v) { return v >= 2000; });
    b.table.add("  the longest gap between observations meanwhile", "<= 1.1 s", gap, "%.2f s",
                [](double v) { return v > 0 && v <= 1.1; });
    b.table.add("  the same before, one client asking each 0.1 s (20 s)", "", quiet, "%.2f s", {});
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Bench b;
    QStringList args = app.arguments().mid(1);
    if (args.size() == 3 && args[0] == QLatin1String("--make-archive")) // DAYS FILE: only the archive, kept
        return fillArchive(args[2], args[1].toInt(), 30, b.minuteDays, b.end) ? 0 : 1;
    if (args.size() >= 2 && args[0] == QLatin1String("--seconds")) {
        b.seconds = std::max(10, args[1].toInt());
        args = args.mid(2);
    }
    b.programs = args.isEmpty() ? QStringList{QStringLiteral(TARNWICK_BINARY)} : args;
    QFile load(QStringLiteral("/proc/loadavg"));
    std::printf("load before the run: %s\n", load.open(QIODevice::ReadOnly) ? load.readAll().trimmed().constData() : "?");
    for (qsizetype i = 0; i < b.programs.size(); ++i)
        std::printf("program %lld: %s\n", qlonglong(i + 1), qPrintable(b.programs[i]));
    std::fflush(stdout);
    liveCost(b);
    manyClients(b);
    const ArchiveSource copies = [&b](int days) { return b.archiveCopy(days); };
    realisticNight(b.table, b.programs, b.seconds, copies);
    archiveAtScale(b.table, b.programs, copies);
    b.table.print(b.programs.size());
    return 0;
}
