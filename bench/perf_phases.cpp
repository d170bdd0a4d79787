// perf_bench's longer phases: a realistic night and archives at scale.
#include "archive_fill.h"
#include "perf_probes.h"
#include "perf_table.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <cstdio>
#include <sys/resource.h>

namespace {

std::unique_ptr<QProcess> startQuiet(const QString &program, const QStringList &args)
{
    auto p = std::make_unique<QProcess>();
    p->setStandardOutputFile(QProcess::nullDevice());
    p->setStandardErrorFile(QProcess::nullDevice());
    p->start(program, args);
    p->waitForStarted(5000);
    return p;
}

void stop(QProcess &p)
{
    p.terminate();
    if (!p.waitForFinished(5000))
        p.kill();
}

// A local broker and a subscriber to everything.
bool startBroker(QProcess &broker, std::unique_ptr<QProcess> &subscriber, quint16 port, const QTemporaryDir &dir)
{
    QFile conf(dir.filePath(QStringLiteral("broker.conf")));
    conf.open(QIODevice::WriteOnly);
    conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n").arg(port).toUtf8());
    conf.close();
    broker.setStandardOutputFile(QProcess::nullDevice());
    broker.setStandardErrorFile(QProcess::nullDevice());
    broker.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), conf.fileName()});
    if (!broker.waitForStarted(3000))
        return false;
    QThread::msleep(500);
    subscriber = startQuiet(QStringLiteral("mosquitto_sub"), {QStringLiteral("-p"), QString::number(port), QStringLiteral("-t"), QStringLiteral("#")});
    return true;
}

// Our INDI driver under indiserver, reading the program at `port` each second.
std::unique_ptr<QProcess> startIndi(quint16 port)
{
    const QString indiPort = QString::number(freeTcpPort());
    auto server = startQuiet(QStringLiteral("indiserver"), {QStringLiteral("-p"), indiPort, QStringLiteral("-r"), QStringLiteral("0"),
                                                           QStringLiteral(INDI_DRIVER_BINARY)});
    const QString device = QStringLiteral("Tarnwick Weather.");
    for (const QString &set : {device + QStringLiteral("TARNWICK_URL.URL=http://127.0.0.1:%1").arg(port),
                               device + QStringLiteral("CONNECTION.CONNECT=On"), device + QStringLiteral("WEATHER_UPDATE.PERIOD=1")}) {
        for (int tries = 0; tries < 40; ++tries) {
            QProcess setprop;
            setprop.start(QStringLiteral("indi_setprop"), {QStringLiteral("-p"), indiPort, set});
            if (setprop.waitForFinished(5000) && setprop.exitCode() == 0)
                break;
            QThread::msleep(250);
        }
    }
    return server;
}

double nsPerSecond(qint64 pid, long long fromNs, double seconds)
{
    return double(processNs(pid) - fromNs) / seconds;
}

} // namespace

void realisticNight(PerfTable &table, const QStringList &programs, int seconds, const ArchiveSource &archives)
{
    QTemporaryDir dir;
    const quint16 brokerPort = freeTcpPort();
    QProcess broker;
    std::unique_ptr<QProcess> subscriber;
    if (!startBroker(broker, subscriber, brokerPort, dir))
        qFatal("cannot start mosquitto");
    struct Night {
        std::unique_ptr<Program> busy, idle;
        std::unique_ptr<QProcess> indi;
        std::unique_ptr<KeepAliveClient> page, safety;
        long long busyNs = 0, idleNs = 0;
    };
    std::vector<Night> nights(size_t(programs.size()));
    for (qsizetype i = 0; i < programs.size(); ++i) {
        Night &n = nights[size_t(i)];
        n.busy = std::make_unique<Program>(programs[i], archives(1),
                                           QList<QStringList>{{"Mqtt/Enabled", "True"}, {"Mqtt/Host", "127.0.0.1"},
                                                              {"Mqtt/Port", QString::number(brokerPort)},
                                                              {"Mqtt/TopicPrefix", QStringLiteral("night%1").arg(i)}});
        n.idle = std::make_unique<Program>(programs[i], archives(1));
        n.busy->waitUntilLive();
        n.idle->waitUntilLive();
        n.indi = startIndi(n.busy->port);
        n.page = std::make_unique<KeepAliveClient>(n.busy->port);
        n.safety = std::make_unique<KeepAliveClient>(n.busy->port);
    }
    const quint16 barePort = freeTcpPort();
    auto bare = startQuiet(QStringLiteral(BARE_SERVER_BINARY), {dir.path(), QString::number(barePort)});
    QThread::sleep(3);
    for (Night &n : nights) {
        n.busyNs = processNs(n.busy->pid());
        n.idleNs = processNs(n.idle->pid());
    }
    const long long bareNs = processNs(bare->processId());
    QElapsedTimer wall;
    wall.start();
    int failed = 0;
    for (int s = 0; s < seconds; ++s) {
        for (Night &n : nights) {
            failed += n.page->get("/tarnwick/v1/live").isEmpty() ? 1 : 0;
            if (s % 30 == 0) // the page's charts, an hour at 10 s steps
                failed += n.page->get("/tarnwick/v1/history?from=3600s&to=now&step=10").isEmpty() ? 1 : 0;
            failed += n.safety->get("/api/v1/safetymonitor/0/issafe?ClientID=7&ClientTransactionID=" + QByteArray::number(s)).isEmpty() ? 1 : 0;
        }
        const qint64 next = (s + 1) * 1000LL - wall.elapsed();
        if (next > 0)
            QThread::msleep(quint64(next));
    }
    const double wallS = wall.elapsed() / 1000.0;
    std::vector<double> ratio, idleRatio, busyPct, idlePct;
    const double bareRate = nsPerSecond(bare->processId(), bareNs, wallS);
    for (Night &n : nights) {
        const double busy = nsPerSecond(n.busy->pid(), n.busyNs, wallS), idle = nsPerSecond(n.idle->pid(), n.idleNs, wallS);
        busyPct.push_back(busy / 1e7);
        idlePct.push_back(idle / 1e7);
        ratio.push_back(busy / idle);
        idleRatio.push_back(idle / bareRate);
        stop(*n.indi);
    }
    stop(*bare);
    stop(*subscriber);
    stop(broker);
    if (failed)
        std::printf("(%d requests of the night went unanswered)\n", failed);
    table.add(QStringLiteral("a realistic night (%1 s): processor, % of a core").arg(seconds), "", busyPct, "%.3f %%", {});
    table.add("  the idle program beside it", "", idlePct, "%.3f %%", {});
    table.add("  night / idle", "<= 2x", ratio, "%.2fx", [](double v) { return v <= 2; });
    table.add(QStringLiteral("idle program / bare Qt server (%1 %)").arg(bareRate / 1e7, 0, 'f', 3), "<= 1.25x", idleRatio,
              "%.2fx", [](double v) { return v <= 1.25; });
}

void archiveAtScale(PerfTable &table, const QStringList &programs, const ArchiveSource &archives)
{
    const double oneYear = archiveBytes(archives(365)) / 1e6, tenYears = archiveBytes(archives(3652)) / 1e6;
    const std::vector<double> none(size_t(programs.size()), 0);
    table.add(QStringLiteral("archive of 1 year: %1 MB; of 10 years: %2 MB per year").arg(oneYear, 0, 'f', 0).arg(tenYears / 10, 0, 'f', 0),
              "", {}, "", {});
    table.add("  10 years, MB", "<= 1000 MB", std::vector<double>{tenYears}, "%.0f MB", [](double v) { return v <= 1000; });
    std::vector<double> first, day, week, year, minutes, rows;
    for (const QString &program : programs) {
        const QString archive = archives(3652);
        {
            Program p(program, archive);
            first.push_back(p.waitUntilLive());
            KeepAliveClient c(p.port);
            auto history = [&c](const char *query) {
                return [&c, query] { return !c.get(QByteArray("/tarnwick/v1/history?") + query).isEmpty(); };
            };
            day.push_back(cpuMsPerCall(p.pid(), 5, history("from=86400s&to=now&step=300")));
            week.push_back(cpuMsPerCall(p.pid(), 5, history("from=604800s&to=now&step=1800")));
            year.push_back(cpuMsPerCall(p.pid(), 3, history("from=365d&to=now")));
        }
        for (auto [minute, into] : {std::pair{true, &minutes}, std::pair{false, &rows}}) {
            QProcess history;
            history.setStandardOutputFile(QProcess::nullDevice());
            QElapsedTimer t;
            t.start();
            rusage before{}, after{};
            getrusage(RUSAGE_CHILDREN, &before);
            QStringList args{QStringLiteral("history"), QStringLiteral("--archive"), archive, QStringLiteral("--since"), QStringLiteral("365d")};
            history.start(program, minute ? args << QStringLiteral("--minute") : args);
            history.waitForFinished(180000);
            getrusage(RUSAGE_CHILDREN, &after);
            // Processor time: the wall time on this shared machine says more about the others.
            auto seconds = [](const timeval &v) { return double(v.tv_sec) + double(v.tv_usec) / 1e6; };
            into->push_back(seconds(after.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_utime) - seconds(before.ru_stime));
            std::printf("(history%s: %.1f s wall)\n", minute ? " --minute" : "", t.elapsed() / 1000.0);
        }
    }
    table.add("10-year archive: first live value after start", "<= 1.5 s", first, "%.2f s", [](double v) { return v >= 0 && v <= 1.5; });
    table.add("  web history of 1 day (5 min steps): processor", "<= 50 ms", day, "%.1f ms", [](double v) { return v >= 0 && v <= 50; });
    table.add("  web history of 7 days (30 min steps): processor", "<= 100 ms", week, "%.1f ms", [](double v) { return v >= 0 && v <= 100; });
    table.add("  web history of 1 year (day steps): processor", "<= 300 ms", year, "%.1f ms", [](double v) { return v >= 0 && v <= 300; });
    table.add("  tarnwick history --since 365d --minute: processor", "<= 2 s", minutes, "%.2f s", [](double v) { return v <= 2; });
    table.add("  tarnwick history --since 365d (30 days of rows): processor", "<= 2 s", rows, "%.2f s", [](double v) { return v <= 2; });
}
