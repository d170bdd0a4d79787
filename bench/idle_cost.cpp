// What the program costs while it only watches: processor share and wake-ups
// per second of `tarnwick --headless` on the simulator, on a board in another
// process answering at once, and on one sending a character at a time at 9600
// baud; INDI's weather simulator under indiserver (1 s period) runs beside them
// for comparison when it is installed. Also the wall time of one exchange with
// the paced board, and how soon the first record is in after start.
//   idle_cost [seconds]          (default 60)
//   idle_cost exchange           (only the exchange times)
#include "app/program.h"
#include "fake_hand_box.h"
#include "proc_status.h"
#include "station/diagnostic_log.h"
#include "station/serial_station_port.h"
#include "station/station_link.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

struct Counters {
    long long ns = -1; // time on a processor, all threads (schedstat: finer than clock ticks)
    long long voluntary = 0;
    long long involuntary = 0;
    long rssKb = 0;
};

long long runNs(const QString &schedstat)
{
    QFile f(schedstat);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    return f.readAll().split(' ').first().toLongLong();
}

Counters sample(qint64 pid)
{
    Counters c;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    if (!tasks.exists())
        return c;
    c.ns = 0;
    // Counted per thread.
    for (const QString &t : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        c.ns += std::max(0LL, runNs(tasks.filePath(t) + QStringLiteral("/schedstat")));
        const QString status = tasks.filePath(t) + QStringLiteral("/status");
        c.voluntary += std::max(0LL, procStatusValue(status, "voluntary_ctxt_switches:"));
        c.involuntary += std::max(0LL, procStatusValue(status, "nonvoluntary_ctxt_switches:"));
    }
    c.rssKb = residentKb(pid);
    return c;
}

qint64 childNamed(qint64 parent, const QByteArray &prefix)
{
    for (const QString &d : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const qint64 pid = d.toLongLong(&ok);
        if (!ok)
            continue;
        QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray s = f.readAll();
        const QByteArray name = s.mid(s.indexOf('(') + 1, s.lastIndexOf(')') - s.indexOf('(') - 1);
        const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1].toLongLong() == parent && name.startsWith(prefix))
            return pid;
    }
    return 0;
}

// A board process; returns the device it serves.
QString startBoard(QProcess &p, bool paced)
{
    p.setProgram(QStringLiteral(EXTERNAL_BOARD_BINARY));
    p.setArguments(paced ? QStringList{QStringLiteral("--paced")} : QStringList{});
    p.start();
    if (!p.waitForReadyRead(5000))
        return {};
    return QString::fromLocal8Bit(p.readLine().trimmed());
}

struct Subject {
    QString name;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<QProcess> process;
    qint64 pid = 0;
    Counters start, end;
};

std::unique_ptr<QProcess> startTarnwick(const QString &dir, const QStringList &board, bool traffic = false)
{
    auto p = std::make_unique<QProcess>();
    p->setProgram(QStringLiteral(TARNWICK_BINARY));
    p->setArguments(QStringList{QStringLiteral("--headless"), QStringLiteral("--no-alpaca"), QStringLiteral("--profile"),
                                dir + QStringLiteral("/profile.ini"), QStringLiteral("--log-dir"), dir}
                    + board);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (traffic)
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("tarnwick.station.debug=true"));
    p->setProcessEnvironment(env);
    p->setStandardOutputFile(QProcess::nullDevice());
    if (!traffic)
        p->setStandardErrorFile(QProcess::nullDevice());
    p->start();
    p->waitForStarted(5000);
    return p;
}

// Seconds from start until the first whole record is read, from the traffic lines.
double firstRecordSeconds(const QStringList &board)
{
    QTemporaryDir dir;
    QElapsedTimer t;
    t.start();
    std::unique_ptr<QProcess> p = startTarnwick(dir.path(), board, true);
    QByteArray seen;
    while (t.elapsed() < 15000) {
        p->waitForReadyRead(50);
        seen += p->readAllStandardError();
        bool record = false;
        for (const QByteArray &line : seen.split('\n'))
            record = record || (line.contains("received") && line.trimmed().endsWith("#\""));
        if (record)
            break;
    }
    const double s = t.elapsed() / 1000.0;
    p->terminate();
    p->waitForFinished(5000);
    return s;
}

// Wall time of polls (":", 20 ms, "F", 80 ms, the record, 20 ms) against a board.
void exchangeTimes(const QString &device, const char *what)
{
    resetProgram();
    WeatherState weather;
    FakeHandBox handBox(weather);
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
void logLineCost(const QString &folder)
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

long logLines(const QString &folder)
{
    QFile f(folder + QStringLiteral("/log.txt"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return long(f.readAll().count('\n'));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(10, atoi(argv[1])) : 60; // "exchange" stops early

    QProcess instantBoard, pacedBoard, probeBoard;
    const QString instant = startBoard(instantBoard, false);
    const QString paced = startBoard(pacedBoard, true);
    const QString probe = startBoard(probeBoard, true);
    if (instant.isEmpty() || paced.isEmpty() || probe.isEmpty()) {
        std::fprintf(stderr, "cannot start %s\n", EXTERNAL_BOARD_BINARY);
        return 1;
    }
    exchangeTimes(probe, "board at 9600 baud, byte by byte");
    // The same waits with the record there at once (20 + 80 + 20 ms): what the machine adds to any exchange.
    exchangeTimes(instant, "board answering at once; 120 ms of waits");
    {
        QTemporaryDir logDir;
        logLineCost(logDir.path());
    }
    probeBoard.kill();
    probeBoard.waitForFinished();
    if (argc > 1 && QByteArray(argv[1]) == "exchange") {
        for (QProcess *b : {&instantBoard, &pacedBoard}) {
            b->kill();
            b->waitForFinished();
        }
        return 0;
    }

    double worstFirst = 0;
    for (int k = 0; k < 3; ++k)
        worstFirst = std::max(worstFirst, firstRecordSeconds({QStringLiteral("--simulate")}));
    std::printf("first record read after start (simulator, worst of 3): %.2f s (goal <= 2.5)\n", worstFirst);

    std::vector<Subject> subjects;
    auto addTarnwick = [&](const QString &name, const QStringList &board) {
        Subject s;
        s.name = name;
        s.dir = std::make_unique<QTemporaryDir>();
        s.process = startTarnwick(s.dir->path(), board);
        s.pid = s.process->processId();
        subjects.push_back(std::move(s));
    };
    addTarnwick(QStringLiteral("tarnwick --simulate"), {QStringLiteral("--simulate")});
    addTarnwick(QStringLiteral("tarnwick, board answering at once"), {QStringLiteral("--serial-device"), instant});
    addTarnwick(QStringLiteral("tarnwick, board at 9600 baud byte by byte"), {QStringLiteral("--serial-device"), paced});

    // INDI beside them, when installed.
    QProcess indi;
    qint64 indiDriver = 0;
    const QString indiserver = QStandardPaths::findExecutable(QStringLiteral("indiserver"));
    const QString indiDriverBinary = QStandardPaths::findExecutable(QStringLiteral("indi_simulator_weather"));
    const QString setprop = QStandardPaths::findExecutable(QStringLiteral("indi_setprop"));
    const QString port = QString::number(17000 + getpid() % 1000);
    if (!indiserver.isEmpty() && !indiDriverBinary.isEmpty() && !setprop.isEmpty()) {
        indi.setProgram(indiserver);
        indi.setArguments({QStringLiteral("-p"), port, indiDriverBinary});
        indi.setStandardOutputFile(QProcess::nullDevice());
        indi.setStandardErrorFile(QProcess::nullDevice());
        indi.start();
        QThread::sleep(2);
        QProcess::execute(setprop, {QStringLiteral("-p"), port, QStringLiteral("Weather Simulator.CONNECTION.CONNECT=On")});
        QThread::sleep(1);
        QProcess::execute(setprop, {QStringLiteral("-p"), port, QStringLiteral("Weather Simulator.WEATHER_UPDATE.PERIOD=1")});
        indiDriver = childNamed(indi.processId(), "indi_simulator");
        if (indiDriver) {
            Subject s;
            s.name = QStringLiteral("INDI indi_simulator_weather, 1 s");
            s.pid = indiDriver;
            subjects.push_back(std::move(s));
            Subject server;
            server.name = QStringLiteral("INDI indiserver (no client)");
            server.pid = indi.processId();
            subjects.push_back(std::move(server));
        }
    }
    if (!indiDriver)
        std::printf("INDI: indiserver or indi_simulator_weather not installed (apt-get install indi-bin); no comparison\n");

    QThread::sleep(6); // start-up and the board search are not what we measure
    for (Subject &s : subjects)
        s.start = sample(s.pid);
    QThread::sleep(unsigned(seconds));
    for (Subject &s : subjects)
        s.end = sample(s.pid);
    if (subjects.front().dir)
        std::printf("log lines written by the simulator run: %ld in %d s (+6 s start)\n",
                    logLines(subjects.front().dir->path()), seconds);

    double indiCpu = 0, indiWake = 0;
    for (const Subject &s : subjects)
        if (s.pid == indiDriver && indiDriver) {
            indiCpu = double(s.end.ns - s.start.ns) / 1e9 / seconds * 100;
            indiWake = double(s.end.voluntary - s.start.voluntary) / seconds;
        }
    std::printf("\nover %d s (processor: %% of one core; wake-ups: voluntary context switches/s, all threads;"
                " preempted: involuntary/s)\n",
                seconds);
    std::printf("%-44s %10s %10s %10s %9s %9s %9s\n", "", "processor", "wake-ups", "preempted", "RSS MB", "cpu/INDI",
                "wake/INDI");
    for (const Subject &s : subjects) {
        if (s.end.ns < 0 || s.start.ns < 0) {
            std::printf("%-44s ended during the run\n", qPrintable(s.name));
            continue;
        }
        const double cpu = double(s.end.ns - s.start.ns) / 1e9 / seconds * 100;
        const double wake = double(s.end.voluntary - s.start.voluntary) / seconds;
        const double pre = double(s.end.involuntary - s.start.involuntary) / seconds;
        std::printf("%-44s %9.3f%% %10.2f %10.2f %9.1f", qPrintable(s.name), cpu, wake, pre, s.end.rssKb / 1024.0);
        if (indiDriver && indiCpu > 0)
            std::printf(" %9.1f", cpu / indiCpu);
        else
            std::printf(" %9s", "-");
        if (indiDriver && indiWake > 0)
            std::printf(" %9.1f", wake / indiWake);
        std::printf("\n");
    }

    for (Subject &s : subjects)
        if (s.process) {
            s.process->terminate();
            s.process->waitForFinished(5000);
        }
    if (indiDriver) {
        indi.terminate();
        indi.waitForFinished(5000);
    }
    instantBoard.kill();
    pacedBoard.kill();
    instantBoard.waitForFinished();
    pacedBoard.waitForFinished();
    return 0;
}
