// Test helper: writes observations into the archive named on the command line
// for ever, until it is killed, printing the number of rows written after each
// commit: with "--batches", 50 rows and an explicit commit at a time; without,
// one row at a time under the archive's own commit policy.
#include "archive/archive.h"
#include "archive_fixture.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const bool batches = argc > 2 && QByteArray(argv[2]) == "--batches";
    Archive archive([](const QString &t) { std::fprintf(stderr, "%s\n", qPrintable(t)); });
    if (batches)
        archive.setBatchSeconds(1000000); // only the explicit flush commits
    archive.setRetentionDays(100000);
    if (!archive.open(QString::fromLocal8Bit(argv[1])))
        return 1;
    const QDateTime t0 = utcAt("2026-01-01T00:00:00Z");
    const int perCommit = batches ? 50 : 1;
    for (qint64 n = 0;;) {
        for (int i = 0; i < perCommit; ++i, ++n)
            archive.add(observationAt(t0.addSecs(n), double(n % 1000)), simulatedBoard(), {});
        if (batches)
            archive.flush();
        std::printf("%lld\n", n);
        std::fflush(stdout);
    }
}
