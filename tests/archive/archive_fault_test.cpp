// The archive under faults: a writer killed at any moment, and a disk that
// fills up.
#include "archive/archive.h"
#include "archive/archive_query.h"
#include "archive/archive_schema.h"
#include "archive_fixture.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <signal.h>
#include <unistd.h>

// A writer killed with SIGKILL in the middle of its batches leaves a file that
// opens, passes SQLite's integrity check and holds every committed batch whole.
TEST(ArchiveFaults, KillDuringABatchLosesAtMostThatBatch)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/archive.sqlite";
    qint64 lastReported = 0;
    for (int round = 0; round < 3; ++round) {
        QProcess child;
        child.start(QStringLiteral(ARCHIVE_WRITER_CHILD), {path, QStringLiteral("--batches")});
        ASSERT_TRUE(child.waitForStarted(5000));
        QByteArray out;
        // Let it commit a few batches, then kill it at a random moment.
        ASSERT_TRUE(QTest::qWaitFor([&] { out += child.readAllStandardOutput(); return out.count('\n') >= 5; }, 10000));
        QTest::qWait(int(QRandomGenerator::global()->bounded(5, 60)));
        ::kill(pid_t(child.processId()), SIGKILL);
        ASSERT_TRUE(child.waitForFinished(5000));
        out += child.readAllStandardOutput();
        const QList<QByteArray> lines = out.trimmed().split('\n');
        lastReported = lines.last().toLongLong();

        QString error;
        QSqlDatabase db = openArchiveDatabase(path, "after-kill", true, error);
        ASSERT_TRUE(db.isOpen()) << error.toStdString();
        {
            QSqlQuery q(db);
            ASSERT_TRUE(q.exec("PRAGMA integrity_check") && q.next());
            EXPECT_EQ(q.value(0).toString(), "ok");
            ASSERT_TRUE(q.exec("SELECT count(*) FROM observations") && q.next());
            const qint64 rows = q.value(0).toLongLong();
            // Every reported batch is there, at most the one being written
            // after it, and never a part of one.
            EXPECT_GE(rows, lastReported);
            EXPECT_LE(rows, lastReported + 50);
            EXPECT_EQ(rows % 50, 0);
            // The next round starts over.
            ASSERT_TRUE(q.exec("DELETE FROM observations"));
        }
        db = QSqlDatabase();
        closeArchiveDatabase("after-kill");
    }
}

// The live policy: each observation is committed as it comes, so a writer
// killed at any moment (20 times) loses at most the observation in flight and
// leaves a file that passes the integrity check.
TEST(ArchiveFaults, KillLosesAtMostTheObservationInFlight)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/archive.sqlite";
    for (int round = 0; round < 20; ++round) {
        QProcess child;
        child.start(QStringLiteral(ARCHIVE_WRITER_CHILD), {path});
        ASSERT_TRUE(child.waitForStarted(5000));
        QByteArray out;
        ASSERT_TRUE(QTest::qWaitFor([&] { out += child.readAllStandardOutput(); return out.count('\n') >= 3; }, 10000));
        QTest::qWait(int(QRandomGenerator::global()->bounded(1, 40)));
        ::kill(pid_t(child.processId()), SIGKILL);
        ASSERT_TRUE(child.waitForFinished(5000));
        out += child.readAllStandardOutput();
        const qint64 reported = out.trimmed().split('\n').last().toLongLong();

        QString error;
        QSqlDatabase db = openArchiveDatabase(path, "after-kill", true, error);
        ASSERT_TRUE(db.isOpen()) << error.toStdString();
        {
            QSqlQuery q(db);
            ASSERT_TRUE(q.exec("PRAGMA integrity_check") && q.next());
            EXPECT_EQ(q.value(0).toString(), "ok");
            ASSERT_TRUE(q.exec("SELECT count(*) FROM observations") && q.next());
            const qint64 rows = q.value(0).toLongLong();
            // Every reported row, and at most the one written after it.
            EXPECT_GE(rows, reported) << "round " << round;
            EXPECT_LE(rows, reported + 1) << "round " << round;
            ASSERT_TRUE(q.exec("DELETE FROM observations"));
        }
        db = QSqlDatabase();
        closeArchiveDatabase("after-kill");
    }
}

namespace {

// A file system of its own to fill: a small tmpfs when this process may mount
// one (root), otherwise SQLite's page limit, which fails writes with the same
// "database or disk is full" error.
struct SmallDisk {
    QTemporaryDir dir;
    bool mounted = false;
    QString filler = dir.path() + "/filler";

    SmallDisk() { mounted = ::geteuid() == 0 && ::mount("tmpfs", qPrintable(dir.path()), "tmpfs", 0, "size=1m") == 0; }
    ~SmallDisk()
    {
        if (mounted)
            ::umount2(qPrintable(dir.path()), MNT_DETACH);
    }
    void fill(Archive &archive)
    {
        if (mounted) {
            QFile f(filler);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            const QByteArray block(4096, 'x');
            while (f.write(block) == block.size()) {
            }
        } else {
            QSqlQuery q(QSqlDatabase::database(archiveConnection(archive)));
            ASSERT_TRUE(q.exec("PRAGMA max_page_count = 1"));
        }
    }
    void free(Archive &archive)
    {
        if (mounted)
            ASSERT_TRUE(QFile::remove(filler));
        else
            QSqlQuery(QSqlDatabase::database(archiveConnection(archive))).exec("PRAGMA max_page_count = 1000000");
    }
    static QString archiveConnection(Archive &archive) { return archive.connectionName(); }
};

} // namespace

TEST(ArchiveFaults, AFullDiskIsReportedOnceAndWritingResumes)
{
    SmallDisk disk;
    if (!disk.mounted)
        std::fprintf(stderr, "no tmpfs could be mounted; the disk fills by SQLite's page limit instead\n");
    QStringList reports;
    Archive archive([&reports](const QString &t) { reports << t; });
    QStringList told; // what a person is sent
    archive.setWriteFailed([&told](const QString &t) { told << t; });
    archive.setBatchSeconds(0); // every row is a commit
    archive.setRetentionDays(100000);
    ASSERT_TRUE(archive.open(disk.dir.path() + "/archive.sqlite"));
    const QDateTime t0 = utcAt("2026-12-07T20:00:00Z");
    int n = 0;
    for (; n < 100; ++n)
        archive.add(observationAt(t0.addSecs(n), 1), simulatedBoard(), {});
    ASSERT_TRUE(reports.isEmpty()) << reports.join("\n").toStdString();

    disk.fill(archive);
    for (int i = 0; i < 3000 && !archive.failing(); ++i, ++n)
        archive.add(observationAt(t0.addSecs(n), 2), simulatedBoard(), {});
    ASSERT_TRUE(archive.failing());
    for (int i = 0; i < 200; ++i, ++n) // each still tries, none says so again
        archive.add(observationAt(t0.addSecs(n), 3), simulatedBoard(), {});
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains("full")) << reports[0].toStdString();
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains("full")) << told[0].toStdString();

    disk.free(archive);
    const QDateTime back = t0.addSecs(n + 10);
    archive.add(observationAt(back, 4), simulatedBoard(), {});
    EXPECT_FALSE(archive.failing());
    ASSERT_EQ(reports.size(), 2);
    EXPECT_TRUE(reports[1].contains("written again"));
    const auto rows = archive.observationsBetween(back, back);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_DOUBLE_EQ(rows[0].value(ArchiveValue::Ambient), 4);
}
