// The program without windows beside the one with windows run headless: both
// on the simulated board with the archive, side by side, until their first
// live values and a steady state; then each one's resident memory (goal for
// tarnwickd: at most 26 MB) and the window-system libraries it has mapped
// (goal: none).
//   daemon_memory [seconds-to-settle]
#include "process_sample.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <memory>

namespace {
const QStringList kWindowSystem = {QStringLiteral("libQt6Widgets"), QStringLiteral("libQt6Gui"),
                                   QStringLiteral("libQt6Charts"), QStringLiteral("libQt6Multimedia"),
                                   QStringLiteral("libxcb"), QStringLiteral("libX11"), QStringLiteral("libwayland")};
constexpr double kGoalMb = 26;

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// True when the endpoint answers the live values with 200.
bool liveAnswers(quint16 port)
{
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!s.waitForConnected(500))
        return false;
    s.write("GET /tarnwick/v1/live HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    QByteArray reply;
    while (s.waitForReadyRead(1000))
        reply += s.readAll();
    return reply.startsWith("HTTP/1.1 200");
}

struct Run {
    QString label;
    QTemporaryDir dir;
    quint16 port = 0;
    QProcess process;
    double rssMb = 0;
    QStringList mapped;
};

void start(Run &run, const QString &program, const QStringList &extra)
{
    run.port = freePort();
    QStringList args = extra;
    args << QStringLiteral("--simulate") << QStringLiteral("--profile") << run.dir.filePath(QStringLiteral("profile.ini"))
         << QStringLiteral("--log-dir") << run.dir.path() << QStringLiteral("--archive")
         << run.dir.filePath(QStringLiteral("archive.sqlite")) << QStringLiteral("--alpaca-port")
         << QString::number(run.port);
    run.process.setStandardOutputFile(QProcess::nullDevice());
    run.process.setStandardErrorFile(run.dir.filePath(QStringLiteral("stderr.txt")));
    run.process.start(program, args);
    run.process.waitForStarted(5000);
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int settle = argc > 1 ? std::max(5, atoi(argv[1])) : 20;
    Run runs[2];
    runs[0].label = QStringLiteral("tarnwickd");
    runs[1].label = QStringLiteral("tarnwick --headless");
    start(runs[0], QStringLiteral(TARNWICKD_BINARY), {});
    start(runs[1], QStringLiteral(TARNWICK_BINARY), {QStringLiteral("--headless")});
    for (Run &run : runs) {
        QElapsedTimer waited;
        waited.start();
        while (!liveAnswers(run.port)) {
            if (run.process.state() != QProcess::Running || waited.elapsed() > 30000) {
                QFile said(run.dir.filePath(QStringLiteral("stderr.txt")));
                said.open(QIODevice::ReadOnly);
                std::fprintf(stderr, "%s did not serve its live values:\n%s", qPrintable(run.label), said.readAll().constData());
                return 1;
            }
            QThread::msleep(200);
        }
    }
    QThread::sleep(settle); // the archive's and the watch's steady state
    // The average of five samples a second apart, each program beside the other.
    for (int s = 0; s < 5; ++s) {
        for (Run &run : runs)
            run.rssMb += residentKb(run.process.processId()) / 1024.0 / 5;
        QThread::sleep(1);
    }
    for (Run &run : runs)
        run.mapped = mappedOf(run.process.processId(), kWindowSystem);

    std::printf("resident memory on the simulated board with the archive, %d s after the first live values:\n", settle);
    for (const Run &run : runs) {
        const bool daemon = &run == &runs[0];
        std::printf("  %-20s %5.1f MB", qPrintable(run.label), run.rssMb);
        if (daemon)
            std::printf("  (goal <= %.0f MB: %s)", kGoalMb, run.rssMb <= kGoalMb ? "met" : "NOT met");
        std::printf("\n  %-20s mapped: %s", "", run.mapped.isEmpty() ? "none" : qPrintable(run.mapped.join(QLatin1Char(' '))));
        if (daemon)
            std::printf("  (goal: none: %s)", run.mapped.isEmpty() ? "met" : "NOT met");
        std::printf("\n");
    }
    for (Run &run : runs) {
        run.process.terminate();
        run.process.waitForFinished(10000);
    }
    return 0;
}
