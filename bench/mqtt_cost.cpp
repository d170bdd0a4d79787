// What the MQTT link costs: two `tarnwick --headless --simulate` side by side
// for a while, one with MQTT off and one publishing to a local mosquitto that
// a mosquitto_sub reads; prints each one's processor use and the difference.
//   mqtt_cost [path-to-tarnwick] [seconds]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

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

void startProgram(QProcess &p, const QString &program, const QTemporaryDir &dir)
{
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(program, {QStringLiteral("--headless"), QStringLiteral("--simulate"), QStringLiteral("--no-alpaca"),
                      QStringLiteral("--no-archive"), QStringLiteral("--profile"), dir.filePath(QStringLiteral("profile.ini")),
                      QStringLiteral("--log-dir"), dir.path()});
    p.waitForStarted(5000);
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString program = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(TARNWICK_BINARY);
    const int seconds = argc > 2 ? std::max(10, atoi(argv[2])) : 60;

    QTemporaryDir brokerDir, offDir, onDir;
    const quint16 port = freePort();
    QFile conf(brokerDir.filePath(QStringLiteral("broker.conf")));
    conf.open(QIODevice::WriteOnly);
    conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n").arg(port).toUtf8());
    conf.close();
    QProcess broker;
    broker.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), conf.fileName()});
    if (!broker.waitForStarted(3000)) {
        std::fprintf(stderr, "cannot start mosquitto: %s\n", qPrintable(broker.errorString()));
        return 1;
    }
    // The subscriber gives up at once on a broker not yet listening.
    for (int i = 0; i < 50; ++i) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port);
        if (probe.waitForConnected(100))
            break;
        QThread::msleep(100);
    }
    QProcess subscriber;
    const QString received = brokerDir.filePath(QStringLiteral("received.txt"));
    subscriber.setStandardOutputFile(received);
    // Line-buffered, so the file holds every delivery when it is counted.
    subscriber.start(QStringLiteral("stdbuf"),
                     {QStringLiteral("-oL"), QStringLiteral("mosquitto_sub"), QStringLiteral("-p"), QString::number(port), QStringLiteral("-t"), QStringLiteral("#"), QStringLiteral("-v")});
    subscriber.waitForStarted(3000);

    configure(program, offDir.filePath(QStringLiteral("profile.ini")), {{"Mqtt/Enabled", "False"}});
    configure(program, onDir.filePath(QStringLiteral("profile.ini")),
              {{"Mqtt/Enabled", "True"}, {"Mqtt/Host", "127.0.0.1"}, {"Mqtt/Port", QString::number(port)}});
    QProcess off, on;
    startProgram(off, program, offDir);
    startProgram(on, program, onDir);

    QThread::sleep(4); // start-up and the first connect are not what we measure
    // Lines in the subscriber's file, read afresh each time (an open file at its end stays there).
    const auto lines = [&received] {
        QFile f(received);
        return f.open(QIODevice::ReadOnly) ? f.readAll().count('\n') : qsizetype(0);
    };
    const qsizetype before = lines(); // what came before is not counted
    const long long off0 = cpuNs(off.processId()), on0 = cpuNs(on.processId());
    QElapsedTimer wall;
    wall.start();
    QThread::sleep(unsigned(seconds));
    const long long off1 = cpuNs(off.processId()), on1 = cpuNs(on.processId());
    const double wallS = wall.elapsed() / 1000.0;
    const qsizetype delivered = lines() - before;
    for (QProcess *p : {&off, &on, &subscriber, &broker}) {
        p->terminate();
        p->waitForFinished(5000);
    }
    if (off0 < 0 || on0 < 0 || off1 < 0 || on1 < 0) {
        std::fprintf(stderr, "a program ended early\n");
        return 1;
    }
    const double offPct = (off1 - off0) / 1e9 / wallS * 100, onPct = (on1 - on0) / 1e9 / wallS * 100;
    std::printf("tarnwick --headless --simulate, side by side for %d s:\n", seconds);
    std::printf("  MQTT off: %.3f %% of one core\n", offPct);
    std::printf("  MQTT on:  %.3f %% of one core (%.1f messages/s delivered to a subscriber)\n", onPct, delivered / wallS);
    std::printf("  MQTT adds %.1f %% to the processor time (goal <= 10 %%)\n", (onPct - offPct) / offPct * 100);
    return 0;
}
