// Runs `tarnwick --headless --simulate` for a while and prints its average
// processor use and resident memory, sampled once a second from /proc. With
// "web", the Alpaca endpoint serves the web page and the bench asks what an
// open page asks: the live values every 5 s, the charts' history every 30 s.
//   program_run_bench [path-to-tarnwick] [seconds] [web]
#include "proc_status.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {
// utime + stime in clock ticks, or -1 once the process is gone.
long long cpuTicks(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray s = f.readAll();
    const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return fields[11].toLongLong() + fields[12].toLongLong(); // fields 14 and 15 of the line
}

// One GET on loopback, answered or not within a second.
void fetch(quint16 port, const QByteArray &target)
{
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!s.waitForConnected(1000))
        return;
    s.write("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    while (s.waitForReadyRead(1000))
        s.readAll();
}

double average(const std::vector<long> &v, size_t from, size_t to)
{
    double sum = 0;
    for (size_t k = from; k < to; ++k)
        sum += v[k];
    return to > from ? sum / double(to - from) : 0;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString program = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(TARNWICK_BINARY);
    const int seconds = argc > 2 ? std::max(20, atoi(argv[2])) : 60;
    const bool web = argc > 3 && QByteArray(argv[3]) == "web";

    QTemporaryDir dir;
    QProcess p;
    p.setProgram(program);
    quint16 port = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    QStringList args{QStringLiteral("--headless"), QStringLiteral("--simulate"), QStringLiteral("--profile"),
                     dir.filePath(QStringLiteral("profile.ini")), QStringLiteral("--log-dir"), dir.path(),
                     QStringLiteral("--archive"), dir.filePath(QStringLiteral("archive.sqlite"))};
    args << (web ? QStringList{QStringLiteral("--alpaca-port"), QString::number(port)} : QStringList{QStringLiteral("--no-alpaca")});
    p.setArguments(args);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start();
    if (!p.waitForStarted(5000)) {
        std::fprintf(stderr, "cannot start %s: %s\n", qPrintable(program), qPrintable(p.errorString()));
        return 1;
    }
    const qint64 pid = p.processId();
    const double hz = double(sysconf(_SC_CLK_TCK));

    QThread::sleep(3); // start-up is not what we measure
    const long long startTicks = cpuTicks(pid);
    QElapsedTimer wall;
    wall.start();
    std::vector<long> rss;
    if (web)
        fetch(port, "/");
    for (int s = 0; s < seconds; ++s) {
        QThread::sleep(1);
        if (web && s % 5 == 0)
            fetch(port, "/tarnwick/v1/live");
        if (web && s % 30 == 0)
            for (const char *span : {"from=3600s&step=10", "from=86400s&step=300", "from=604800s&step=1800"})
                fetch(port, QByteArray("/tarnwick/v1/history?") + span);
        const long kb = residentKb(pid);
        if (kb < 0 || p.state() != QProcess::Running) {
            std::fprintf(stderr, "the program ended after %d s\n", s);
            return 1;
        }
        rss.push_back(kb);
    }
    const long long endTicks = cpuTicks(pid);
    const double wallSeconds = wall.elapsed() / 1000.0;
    p.terminate();
    p.waitForFinished(5000);

    const double cpuPercent = (endTicks - startTicks) / hz / wallSeconds * 100;
    const long peak = *std::max_element(rss.begin(), rss.end());
    std::printf("tarnwick --headless --simulate%s for %d s:\n", web ? " with the web page open" : "", seconds);
    std::printf("  processor: %.3f %% of one core (goal < 0.1 %%)\n", cpuPercent);
    std::printf("  peak resident memory: %.1f MB (goal < %d MB)\n", peak / 1024.0, web ? 60 : 45);
    std::printf("  resident, first 10 s: %.1f MB, last 10 s: %.1f MB\n", average(rss, 0, 10) / 1024.0,
                average(rss, rss.size() - 10, rss.size()) / 1024.0);
    return 0;
}
