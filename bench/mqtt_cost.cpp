// What the MQTT link costs: `tarnwick --headless --simulate` in a few copies
// with MQTT off and as many publishing to a local mosquitto that a
// mosquitto_sub reads, all side by side; prints each group's processor use
// and the difference. Beside them run as many bare publishers of three kinds
// (libmosquitto, blocking calls, no event loop) that wake once a second and
// send nothing, one record's JSON, or the record and a dozen values: the
// least publishing can cost on this machine, to hold the program's figure against.
//   mqtt_cost [path-to-tarnwick] [seconds] [copies]   (default 60 s, 3 copies)
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mosquitto.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// Nanoseconds on a processor of every thread of a process (schedstat), or -1.
long long cpuNs(qint64 pid)
{
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    if (!tasks.exists())
        return -1;
    long long sum = 0;
    for (const QString &t : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(tasks.filePath(t + QStringLiteral("/schedstat")));
        if (f.open(QIODevice::ReadOnly))
            sum += f.readAll().split(' ').value(0).toLongLong();
    }
    return sum;
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

void configure(const QString &program, const QString &profile, const QList<QStringList> &settings)
{
    for (const QStringList &kv : settings)
        QProcess::execute(program, {QStringLiteral("--profile"), profile, QStringLiteral("config"), QStringLiteral("set"), kv[0], kv[1]});
}

// The bare publisher: once a second, `values` + 1 messages (the first of
// `bytes`) corked into one segment as the program sends them; values < 0
// sends nothing. Runs until killed.
int barePublisher(quint16 port, int values, int bytes)
{
    mosquitto_lib_init();
    mosquitto *m = mosquitto_new(nullptr, true, nullptr);
    if (mosquitto_connect(m, "127.0.0.1", port, 60) != MOSQ_ERR_SUCCESS)
        return 1;
    const QByteArray record(bytes, 'x'), value("12.34");
    std::vector<QByteArray> topics;
    for (int i = 0; i <= values; ++i)
        topics.push_back("bare/" + QByteArray::number(getpid()) + '/' + QByteArray::number(i));
    timespec next;
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (long cycle = 1;; ++cycle) {
        next.tv_sec += 1;
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
        if (cycle % 20 == 0 && mosquitto_loop(m, 0, 1) != MOSQ_ERR_SUCCESS) // pings and their answers
            return 1;
        if (values < 0)
            continue;
        const int fd = mosquitto_socket(m);
        int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_CORK, &on, sizeof on);
        mosquitto_publish(m, nullptr, topics[0].constData(), int(record.size()), record.constData(), 0, false);
        for (int i = 1; i <= values; ++i)
            mosquitto_publish(m, nullptr, topics[size_t(i)].constData(), int(value.size()), value.constData(), 0, false);
        on = 0;
        setsockopt(fd, IPPROTO_TCP, TCP_CORK, &on, sizeof on);
    }
}

struct Group {
    const char *title;
    std::vector<std::unique_ptr<QProcess>> processes;
    std::vector<long long> start;
    std::vector<double> usPerS; // processor microseconds per second, each process

    void begin()
    {
        for (auto &p : processes)
            start.push_back(cpuNs(p->processId()));
    }
    bool end(double wallS)
    {
        for (size_t i = 0; i < processes.size(); ++i) {
            const long long now = cpuNs(processes[i]->processId());
            if (now < 0 || start[i] < 0)
                return false;
            usPerS.push_back((now - start[i]) / 1e3 / wallS);
        }
        return true;
    }
    double mean() const
    {
        double sum = 0;
        for (double v : usPerS)
            sum += v;
        return sum / double(usPerS.size());
    }
};

void startProgram(Group &g, const QString &program, const QString &dir)
{
    auto p = std::make_unique<QProcess>();
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->setStandardOutputFile(QProcess::nullDevice());
    p->start(program, {QStringLiteral("--headless"), QStringLiteral("--simulate"), QStringLiteral("--no-alpaca"),
                       QStringLiteral("--no-archive"), QStringLiteral("--profile"), dir + QStringLiteral("/profile.ini"),
                       QStringLiteral("--log-dir"), dir});
    p->waitForStarted(5000);
    g.processes.push_back(std::move(p));
}

void startBare(Group &g, quint16 port, int values, int bytes)
{
    auto p = std::make_unique<QProcess>();
    p->setProcessChannelMode(QProcess::ForwardedChannels);
    p->start(QCoreApplication::applicationFilePath(),
             {QStringLiteral("--bare"), QString::number(port), QString::number(values), QString::number(bytes)});
    p->waitForStarted(5000);
    g.processes.push_back(std::move(p));
}

// Lines in a file, read afresh each time (an open file at its end stays there).
QList<QByteArray> linesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().split('\n') : QList<QByteArray>();
}

// The mean length of the records' JSON the subscriber received so far.
int recordBytes(const QList<QByteArray> &lines)
{
    long long sum = 0, count = 0;
    for (const QByteArray &line : lines) {
        const qsizetype space = line.indexOf(' ');
        if (space > 0 && line.left(space).endsWith("/observation")) {
            sum += line.size() - space - 1;
            ++count;
        }
    }
    return count ? int(sum / count) : 900;
}

// A local broker on port and a subscriber to everything writing to received.
bool startBroker(QProcess &broker, QProcess &subscriber, quint16 port, const QTemporaryDir &dir, const QString &received)
{
    QFile conf(dir.filePath(QStringLiteral("broker.conf")));
    conf.open(QIODevice::WriteOnly);
    conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n").arg(port).toUtf8());
    conf.close();
    broker.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), conf.fileName()});
    if (!broker.waitForStarted(3000)) {
        std::fprintf(stderr, "cannot start mosquitto: %s\n", qPrintable(broker.errorString()));
        return false;
    }
    // The subscriber gives up at once on a broker not yet listening.
    for (int i = 0; i < 50; ++i) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port);
        if (probe.waitForConnected(100))
            break;
        QThread::msleep(100);
    }
    subscriber.setStandardOutputFile(received);
    // Line-buffered, so the file holds every delivery when it is counted.
    subscriber.start(QStringLiteral("stdbuf"),
                     {QStringLiteral("-oL"), QStringLiteral("mosquitto_sub"), QStringLiteral("-p"), QString::number(port), QStringLiteral("-t"), QStringLiteral("#"), QStringLiteral("-v")});
    return subscriber.waitForStarted(3000);
}

void printGroup(const char *title, const Group &g)
{
    const auto [low, high] = std::minmax_element(g.usPerS.begin(), g.usPerS.end());
    std::printf("  %s %.3f %% of one core (%.0f us a second; copies %.0f-%.0f)\n", title, g.mean() / 1e4, g.mean(), *low, *high);
}

struct Run {
    Group off, on, bareIdle, bareRecord, bareAll;
    int copies = 3, seconds = 60, values = 12, bytes = 0;
    double messagesPerS = 0; // delivered from each program
};

void report(const Run &r)
{
    std::printf("tarnwick --headless --simulate, %d copies each way, side by side for %d s:\n", r.copies, r.seconds);
    printGroup("MQTT off:", r.off);
    printGroup("MQTT on: ", r.on);
    std::printf("  (%.1f messages/s delivered from each program to a subscriber)\n", r.messagesPerS);
    const double own = r.off.mean();
    std::printf("  MQTT adds %.1f %% to the processor time (goal <= 10 %%)\n", (r.on.mean() - own) / own * 100);
    // What sending alone costs, without the program's event loop or payloads.
    const double idle = r.bareIdle.mean(), record = r.bareRecord.mean() - idle, all = r.bareAll.mean() - idle;
    std::printf("As many bare publishers of each kind beside them (libmosquitto, blocking calls, no event loop), once a second:\n");
    std::printf("  waking and sending nothing:           %5.0f us a second\n", idle);
    std::printf("  one record's JSON (%4d bytes) more:  %+5.0f us, %.1f %% of the program's own time\n", r.bytes, record,
                record / own * 100);
    std::printf("  the record and %d values more:        %+5.0f us, %.1f %% of the program's own time\n", r.values, all,
                all / own * 100);
    const double added = r.on.mean() - own, floor = std::min(record, all);
    std::printf("Of the %.0f us a second MQTT adds to the program, %.0f us are the sending alone", added, floor);
    if (floor > own / 10)
        std::printf(": more than the goal's %.0f us by itself, as long as each record goes out in its second.\n", own / 10);
    else
        std::printf(" (the goal allows %.0f us).\n", own / 10);
}

// Everyone started, measured for the run's seconds; false when one ended early.
bool measure(Run &r, const QString &program, const QTemporaryDir &dir, quint16 port, const QString &received)
{
    for (int i = 0; i < r.copies; ++i) {
        const QString offDir = dir.filePath(QStringLiteral("off%1").arg(i)), onDir = dir.filePath(QStringLiteral("on%1").arg(i));
        QDir().mkpath(offDir);
        QDir().mkpath(onDir);
        configure(program, offDir + QStringLiteral("/profile.ini"), {{"Mqtt/Enabled", "False"}});
        configure(program, onDir + QStringLiteral("/profile.ini"),
                  {{"Mqtt/Enabled", "True"}, {"Mqtt/Host", "127.0.0.1"}, {"Mqtt/Port", QString::number(port)},
                   {"Mqtt/TopicPrefix", QStringLiteral("tarnwick/bench%1").arg(i)}});
        startProgram(r.off, program, offDir);
        startProgram(r.on, program, onDir);
    }
    QThread::sleep(4); // start-up and the first connect are not what we measure
    r.bytes = recordBytes(linesOf(received));
    for (int i = 0; i < r.copies; ++i) {
        startBare(r.bareIdle, port, -1, r.bytes);
        startBare(r.bareRecord, port, 0, r.bytes);
        startBare(r.bareAll, port, r.values, r.bytes);
    }
    QThread::sleep(2);

    const qsizetype before = linesOf(received).size(); // what came before is not counted
    const std::vector<Group *> groups{&r.off, &r.on, &r.bareIdle, &r.bareRecord, &r.bareAll};
    for (Group *g : groups)
        g->begin();
    QElapsedTimer wall;
    wall.start();
    QThread::sleep(unsigned(r.seconds));
    bool ok = true;
    const double wallS = wall.elapsed() / 1000.0;
    for (Group *g : groups)
        ok = g->end(wallS) && ok;
    const double bare = (r.values + 2) * wallS * r.copies; // the bare publishers' deliveries
    r.messagesPerS = (double(linesOf(received).size() - before) - bare) / wallS / r.copies;
    for (Group *g : groups)
        for (auto &p : g->processes)
            p->terminate();
    for (Group *g : groups)
        for (auto &p : g->processes)
            p->waitForFinished(5000);
    return ok;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 5 && QByteArray(argv[1]) == "--bare")
        return barePublisher(quint16(atoi(argv[2])), atoi(argv[3]), atoi(argv[4]));
    const QString program = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(TARNWICK_BINARY);
    Run run;
    run.seconds = argc > 2 ? std::max(10, atoi(argv[2])) : 60;
    run.copies = argc > 3 ? std::clamp(atoi(argv[3]), 1, 8) : 3;

    QTemporaryDir dir;
    const quint16 port = freePort();
    const QString received = dir.filePath(QStringLiteral("received.txt"));
    QProcess broker, subscriber;
    if (!startBroker(broker, subscriber, port, dir, received))
        return 1;
    const bool ok = measure(run, program, dir, port, received);
    for (QProcess *p : {&subscriber, &broker}) {
        p->terminate();
        p->waitForFinished(5000);
    }
    if (!ok) {
        std::fprintf(stderr, "a program ended early\n");
        return 1;
    }
    report(run);
    return 0;
}
