// The archive in a real SQLite file: what goes in comes out, only real live
// readings go in, minute summaries, retention and the schema version.
#include "archive/archive.h"
#include "archive/archive_query.h"
#include "archive/archive_schema.h"
#include "archive_fixture.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct TempArchive {
    QTemporaryDir dir;
    QString path = dir.path() + QStringLiteral("/sub/archive.sqlite");
    QStringList reports;
    std::unique_ptr<Archive> archive = make();

    std::unique_ptr<Archive> make()
    {
        auto a = std::make_unique<Archive>([this](const QString &t) { reports << t; });
        a->setRetentionDays(100000);
        EXPECT_TRUE(a->open(path));
        return a;
    }
    void reopen()
    {
        archive.reset();
        archive = make();
    }
};

const QDateTime kT0 = utcAt("2026-12-07T20:00:00Z");

} // namespace

TEST(Archive, KeepsEveryValueOfLiveReadingsAndNothingElse)
{
    TempArchive t;
    SafetyVerdict unsafe{true, false, {{"rain", "Rain on the sensor", kT0}, {"clouds", "Overcast", kT0}}, kT0};
    Observation a = observationAt(kT0, 12.34);
    Observation b = observationAt(kT0.addSecs(1), -3.21);
    clearHumidityReadings(b);
    for (Quantity q : {Quantity::Wind, Quantity::WindAverage, Quantity::Gust}) // wind processing off
        b.readings.set(q, std::nullopt);
    b.raining = true;
    b.readings.sky = SkyClass::Overcast;
    Observation c = observationAt(kT0.addSecs(2), 1);
    clearTemperatureReadings(c);
    c.readings.set(Quantity::Gust, std::nullopt); // before the first wind sample
    t.archive->add(a, simulatedBoard(), {});
    t.archive->add(b, boardIn(BoardState::Live), unsafe);
    t.archive->add(c, simulatedBoard(), SafetyVerdict{true, true, {}, kT0});
    // Not readings: re-processed and test records, and any record while the
    // board does not deliver readings.
    Observation again = observationAt(kT0.addSecs(3), 50);
    again.source = ObservationSource::Reprocessed;
    Observation test = observationAt(kT0.addSecs(4), 50);
    test.source = ObservationSource::TestRecord;
    t.archive->add(again, simulatedBoard(), {});
    t.archive->add(test, simulatedBoard(), {});
    t.archive->add(observationAt(kT0.addSecs(5), 50), boardIn(BoardState::Silent), {});
    t.archive->add(observationAt(kT0.addSecs(6), 50), boardIn(BoardState::Searching), {});
    t.reopen(); // a clean close commits the batch

    ArchiveReader reader;
    QString error;
    ASSERT_TRUE(reader.open(t.path, error)) << error.toStdString();
    const auto rows = queryObservations(reader.database(), kT0, kT0.addSecs(60));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].utc, kT0);
    EXPECT_DOUBLE_EQ(rows[0].value(ArchiveValue::Ambient), 12.34);
    EXPECT_DOUBLE_EQ(rows[0].value(ArchiveValue::Thermopile), 13.34);
    EXPECT_DOUBLE_EQ(rows[0].value(ArchiveValue::Sky), 12.34 - 20);
    EXPECT_DOUBLE_EQ(rows[0].value(ArchiveValue::Humidity), 55.5);
    EXPECT_DOUBLE_EQ(rows[0].value(ArchiveValue::RainMean), 320.25);
    EXPECT_DOUBLE_EQ(rows[0].value(ArchiveValue::Brightness), 900);
    EXPECT_DOUBLE_EQ(rows[0].value(ArchiveValue::Gust), 7.25);
    EXPECT_EQ(rows[0].sky, SkyClass::PartlyCloudy);
    EXPECT_TRUE(rows[0].cloudy);
    EXPECT_EQ(rows[0].heater, 1);
    EXPECT_EQ(rows[0].board, BoardState::Simulated);
    EXPECT_FALSE(rows[0].safe.has_value());

    EXPECT_DOUBLE_EQ(rows[1].value(ArchiveValue::Ambient), -3.21);
    EXPECT_FALSE(rows[1].has(ArchiveValue::Humidity)); // the no-humidity marker
    EXPECT_FALSE(rows[1].has(ArchiveValue::DewPoint));
    EXPECT_FALSE(rows[1].has(ArchiveValue::Wind));     // wind processing off
    EXPECT_TRUE(rows[1].raining);
    EXPECT_EQ(rows[1].sky, SkyClass::Overcast);
    EXPECT_EQ(rows[1].board, BoardState::Live);
    EXPECT_EQ(rows[1].safe, std::optional<bool>(false));
    EXPECT_EQ(rows[1].unsafe, QStringList({"rain", "clouds"}));

    EXPECT_FALSE(rows[2].has(ArchiveValue::Ambient)); // temperature processing off
    EXPECT_FALSE(rows[2].sky.has_value());
    EXPECT_FALSE(rows[2].has(ArchiveValue::Gust));
    EXPECT_TRUE(rows[2].has(ArchiveValue::Wind));
    EXPECT_EQ(rows[2].safe, std::optional<bool>(true));
    EXPECT_TRUE(t.reports.isEmpty()) << t.reports.join("\n").toStdString();
}

TEST(Archive, TheWatchFeedDrivesIt)
{
    TempArchive t;
    WatchFeed feed;
    feed.listen([&t](const WatchStatus &s, WatchFeed::Change c) { t.archive->onWatch(s, c); });
    feed.publish(observationAt(kT0, 1)); // still searching
    feed.setBoard(simulatedBoard());
    feed.publish(observationAt(kT0.addSecs(1), 2));
    feed.setSafety(SafetyVerdict{true, true, {}, kT0});
    feed.publish(observationAt(kT0.addSecs(2), 3));
    feed.setBoard(boardIn(BoardState::Lost)); // closes the batch
    feed.publish(observationAt(kT0.addSecs(3), 4));

    ArchiveReader reader; // a second connection sees only committed rows
    QString error;
    ASSERT_TRUE(reader.open(t.path, error));
    const auto rows = queryObservations(reader.database(), kT0, kT0.addSecs(60));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_DOUBLE_EQ(rows[0].value(ArchiveValue::Ambient), 2);
    EXPECT_FALSE(rows[0].safe.has_value());
    EXPECT_EQ(rows[1].safe, std::optional<bool>(true));
}

TEST(Archive, MinuteSummariesAndStepsAgreeWithTheRows)
{
    TempArchive t;
    // Minute 20:00 holds ambient 0..59, minute 20:01 holds 100..129 (raining
    // for its first 15 seconds); the program stops at 20:01:29.
    for (int s = 0; s < 90; ++s) {
        Observation o = observationAt(kT0.addSecs(s), s < 60 ? s : 100 + (s - 60));
        o.raining = s >= 60 && s < 75;
        t.archive->add(o, simulatedBoard(), s < 30 ? SafetyVerdict{} : SafetyVerdict{true, s % 2 == 0, {}, kT0});
    }
    // The first minute was summarized when the second began; the second, cut
    // short, is summarized when the archive opens again.
    const auto before = t.archive->minutesBetween(kT0, kT0.addSecs(3600));
    ASSERT_EQ(before.size(), 1u);
    t.reopen();
    const auto minutes = t.archive->minutesBetween(kT0, kT0.addSecs(3600));
    ASSERT_EQ(minutes.size(), 2u);
    EXPECT_EQ(minutes[0].utc, kT0);
    EXPECT_EQ(minutes[0].count, 60);
    EXPECT_DOUBLE_EQ(minutes[0].mean[0], 29.5);
    EXPECT_DOUBLE_EQ(minutes[0].min[0], 0);
    EXPECT_DOUBLE_EQ(minutes[0].max[0], 59);
    EXPECT_DOUBLE_EQ(minutes[0].safe, 0.5); // 30 judged, 15 of them safe
    EXPECT_EQ(minutes[1].count, 30);
    EXPECT_DOUBLE_EQ(minutes[1].mean[0], 114.5);
    EXPECT_DOUBLE_EQ(minutes[1].raining, 0.5);

    // Two-minute steps come from the minute rows, weighted by their counts;
    // 30-second steps from the observations.
    const auto two = t.archive->summarize(kT0, kT0.addSecs(3600), 120);
    // Steps that are not whole minutes take each minute once, in the step it begins in.
    int counted = 0;
    for (const ArchiveSummary &s : t.archive->summarize(kT0, kT0.addSecs(3600), 90))
        counted += s.count;
    EXPECT_EQ(counted, 90);
    ASSERT_EQ(two.size(), 1u);
    EXPECT_EQ(two[0].count, 90);
    EXPECT_NEAR(two[0].mean[0], (29.5 * 60 + 114.5 * 30) / 90, 1e-9);
    EXPECT_DOUBLE_EQ(two[0].max[0], 129);
    const auto halves = t.archive->summarize(kT0, kT0.addSecs(3600), 30);
    ASSERT_EQ(halves.size(), 3u);
    EXPECT_DOUBLE_EQ(halves[2].mean[0], 114.5);
    EXPECT_TRUE(std::isnan(halves[0].safe)); // no verdict in the first 30 s
}

TEST(Archive, RetentionDropsOldObservationsButKeepsTheirSummaries)
{
    TempArchive t;
    t.archive->setRetentionDays(30);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDateTime old = now.addDays(-31);
    t.archive->add(observationAt(old, 1), simulatedBoard(), {});
    t.archive->add(observationAt(old.addSecs(60), 2), simulatedBoard(), {}); // summarizes the first minute
    t.archive->add(observationAt(now.addSecs(-5), 3), simulatedBoard(), {});
    t.archive->prune(now);
    t.archive->flush();
    EXPECT_EQ(t.archive->observationsBetween(old.addSecs(-60), now).size(), 1u);
    const auto minutes = t.archive->minutesBetween(old.addSecs(-60), old.addSecs(120));
    ASSERT_GE(minutes.size(), 1u);
    EXPECT_DOUBLE_EQ(minutes[0].mean[0], 1);
}

TEST(ArchiveSchema, NewFileIsVersionedAndANewerOneIsLeftAlone)
{
    TempArchive t;
    t.archive.reset();
    {
        QString error;
        QSqlDatabase db = openArchiveDatabase(t.path, "schema-check", true, error);
        ASSERT_TRUE(db.isOpen()) << error.toStdString();
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec("SELECT version FROM schema_version") && q.next());
        EXPECT_EQ(q.value(0).toInt(), kArchiveSchemaVersion);
        ASSERT_TRUE(q.exec("PRAGMA journal_mode") && q.next());
        EXPECT_EQ(q.value(0).toString(), "wal");
        ASSERT_TRUE(q.exec("UPDATE schema_version SET version = 99"));
    }
    closeArchiveDatabase("schema-check");
    QStringList reports;
    Archive newer([&reports](const QString &r) { reports << r; });
    EXPECT_FALSE(newer.open(t.path));
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains("newer program")) << reports[0].toStdString();
    newer.add(observationAt(kT0, 1), simulatedBoard(), {}); // harmless when not open
    ArchiveReader reader;
    QString error;
    EXPECT_FALSE(reader.open(t.path, error));
    EXPECT_TRUE(error.contains("schema 99")) << error.toStdString();

    // A file that is no database is reported, not overwritten.
    QFile junk(t.dir.path() + "/junk.sqlite");
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(8192, 'j'));
    junk.close();
    Archive onJunk([&reports](const QString &r) { reports << r; });
    EXPECT_FALSE(onJunk.open(junk.fileName()));
    EXPECT_EQ(reports.size(), 2);
    EXPECT_EQ(QFileInfo(junk.fileName()).size(), 8192);
}
