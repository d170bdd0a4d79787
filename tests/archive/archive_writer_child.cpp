// Test helper: writes batches of 50 observations into the archive named on
// the command line for ever, printing the number of rows committed after each
// batch, until it is killed.
#include "archive/archive.h"
#include "archive_fixture.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    Archive archive([](const QString &t) { std::fprintf(stderr, "%s\n", qPrintable(t)); });
    archive.setBatchSeconds(1000000); // only the explicit flush commits
    archive.setRetentionDays(100000);
    if (!archive.open(QString::fromLocal8Bit(argv[1])))
        return 1;
    const QDateTime t0 = utcAt("2026-01-01T00:00:00Z");
    for (qint64 n = 0;;) {
        for (int i = 0; i < 50; ++i, ++n)
            archive.add(observationAt(t0.addSecs(n), double(n % 1000)), simulatedBoard(), {});
        archive.flush();
        std::printf("%lld\n", n);
        std::fflush(stdout);
    }
}
