// Hour rows beside the minute rows: long spans read them and get what the
// minutes give, a file made before them gets them, and minute rows past
// their retention go while their hours stay.
#include "archive/archive.h"
#include "archive/archive_hours.h"
#include "archive/archive_query.h"
#include "archive_fixture.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <cmath>
#include <map>
#include <gtest/gtest.h>

namespace {

// Ten days back from now: one reading every five minutes, some without humidity.
const QDateTime kEnd = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() / 60 * 60, Qt::UTC);
const QDateTime kStart = kEnd.addDays(-10);

void writeTenDays(Archive &archive)
{
    int i = 0;
    for (QDateTime t = kStart; t < kEnd; t = t.addSecs(300), ++i) {
        Observation o = observationAt(t, 10 * std::sin(i / 40.0) + i % 7 * 0.01);
        if (i % 11 == 0)
            clearHumidityReadings(o);
        archive.add(o, simulatedBoard(), SafetyVerdict{true, i % 3 != 0, {}, {}});
    }
    archive.flush();
}

// Summaries over steps from the minute rows alone, as the minute path weighs them.
std::vector<ArchiveSummary> fromMinutes(const std::vector<ArchiveSummary> &minutes, qint64 from, qint64 to, int step)
{
    std::map<qint64, std::vector<ArchiveSummary>> steps;
    for (const ArchiveSummary &m : minutes) {
        const qint64 t = m.utc.toSecsSinceEpoch();
        if (t >= from && t <= to)
            steps[t / step * step].push_back(m);
    }
    std::vector<ArchiveSummary> out;
    for (const auto &[start, rows] : steps) {
        ArchiveSummary s;
        s.utc = QDateTime::fromSecsSinceEpoch(start, Qt::UTC);
        for (int v = 0; v < kArchiveValueCount; ++v) {
            double sum = 0, n = 0, low = NAN, high = NAN;
            for (const ArchiveSummary &m : rows) {
                if (!std::isnan(m.mean[size_t(v)])) {
                    sum += m.mean[size_t(v)] * m.count;
                    n += m.count;
                }
                low = std::isnan(low) ? m.min[size_t(v)] : std::fmin(low, m.min[size_t(v)]);
                high = std::isnan(high) ? m.max[size_t(v)] : std::fmax(high, m.max[size_t(v)]);
            }
            s.mean[size_t(v)] = n > 0 ? sum / n : NAN;
            s.min[size_t(v)] = low;
            s.max[size_t(v)] = high;
        }
        for (const ArchiveSummary &m : rows)
            s.count += m.count;
        out.push_back(s);
    }
    return out;
}

void expectSame(const std::vector<ArchiveSummary> &got, const std::vector<ArchiveSummary> &want, const char *what)
{
    ASSERT_EQ(got.size(), want.size()) << what;
    for (size_t i = 0; i < got.size(); ++i) {
        ASSERT_EQ(got[i].utc, want[i].utc) << what;
        ASSERT_EQ(got[i].count, want[i].count) << what;
        for (int v = 0; v < kArchiveValueCount; ++v) {
            const size_t k = size_t(v);
            ASSERT_EQ(std::isnan(got[i].mean[k]), std::isnan(want[i].mean[k])) << what << " value " << v;
            if (!std::isnan(want[i].mean[k]))
                ASSERT_NEAR(got[i].mean[k], want[i].mean[k], 1e-9) << what << " value " << v;
            ASSERT_TRUE(got[i].min[k] == want[i].min[k] || (std::isnan(got[i].min[k]) && std::isnan(want[i].min[k]))) << what;
            ASSERT_TRUE(got[i].max[k] == want[i].max[k] || (std::isnan(got[i].max[k]) && std::isnan(want[i].max[k]))) << what;
        }
    }
}

// Every long span in whole hours, its ends on an hour or within one (its
// start on an hour only where the minutes are gone: a part of an hour is
// known by its minutes).
void expectHoursAsMinutes(const Archive &archive, const std::vector<ArchiveSummary> &minutes, bool minutesGone = false)
{
    const QDateTime hour = QDateTime::fromSecsSinceEpoch((kStart.toSecsSinceEpoch() + 3599) / 3600 * 3600, Qt::UTC);
    for (int step : {3600, 7200, 86400})
        for (qint64 offset : {0, 17 * 60, -23 * 60}) {
            const QDateTime from = minutesGone ? hour : kStart.addSecs(offset), to = kEnd.addSecs(offset);
            const auto got = archive.summarize(from, to, step);
            expectSame(got, fromMinutes(minutes, (from.toMSecsSinceEpoch() + 59999) / 60000 * 60, to.toSecsSinceEpoch(), step),
                       qPrintable(QStringLiteral("step %1 offset %2").arg(step).arg(offset)));
        }
}

} // namespace

TEST(ArchiveHours, LongSpansReadHourRowsAndGetWhatTheMinutesGive)
{
    QTemporaryDir dir;
    Archive archive;
    archive.setRetentionDays(100000);
    ASSERT_TRUE(archive.open(dir.filePath("a.sqlite")));
    writeTenDays(archive);
    qint64 hoursFrom = -1, hoursTo = -1;
    ASSERT_TRUE(hourRowsFrom(QSqlDatabase::database(archive.connectionName()), hoursFrom, hoursTo));
    EXPECT_EQ(hoursFrom, 0); // a new file: hour rows from its first minute on
    expectHoursAsMinutes(archive, archive.minutesBetween(kStart.addDays(-1), kEnd));
}

TEST(ArchiveHours, AnOlderFileGetsHourRowsAndLosesOnlyMinutesPastTheirRetention)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.sqlite");
    std::vector<ArchiveSummary> minutes;
    {
        Archive archive;
        archive.setRetentionDays(100000);
        ASSERT_TRUE(archive.open(path));
        writeTenDays(archive);
        // As a program that kept no hour rows left it.
        QSqlQuery q(QSqlDatabase::database(archive.connectionName()));
        ASSERT_TRUE(q.exec("DROP TABLE hours") && q.exec("DROP TABLE rollup"));
    }
    {
        ArchiveReader reader;
        QString why;
        ASSERT_TRUE(reader.open(path, why));
        minutes = queryMinutes(reader.database(), kStart.addDays(-1), kEnd);
    }
    Archive archive;
    archive.setRetentionDays(100000);
    archive.setMinuteRetentionDays(7);
    ASSERT_TRUE(archive.open(path));
    // Each minute written rolls up a day of the older ones and prunes a week.
    for (int m = 0; m < 14; ++m)
        archive.add(observationAt(kEnd.addSecs(60 * m + 5), 1), simulatedBoard(), {});
    archive.flush();
    for (const ArchiveSummary &m : archive.minutesBetween(kEnd, kEnd.addSecs(3600)))
        minutes.push_back(m);
    qint64 hoursFrom = -1, hoursTo = -1;
    ASSERT_TRUE(hourRowsFrom(QSqlDatabase::database(archive.connectionName()), hoursFrom, hoursTo));
    EXPECT_EQ(hoursFrom, kStart.toSecsSinceEpoch() / 3600 * 3600);
    EXPECT_EQ(hoursTo, kEnd.addSecs(12 * 60).toSecsSinceEpoch() / 3600 * 3600); // the last minute summarized
    const QDateTime cutoff = QDateTime::currentDateTimeUtc().addDays(-7);
    const auto left = archive.minutesBetween(kStart, kEnd);
    ASSERT_FALSE(left.empty());
    EXPECT_GE(left.front().utc, cutoff.addSecs(-3600));
    EXPECT_LT(left.front().utc, cutoff.addSecs(3600));
    expectHoursAsMinutes(archive, minutes, true);
    // A day of the time whose minutes are gone, from its hours.
    const QDateTime day = QDateTime::fromSecsSinceEpoch((kStart.toSecsSinceEpoch() + 3599) / 3600 * 3600, Qt::UTC);
    const auto gone = archive.summarize(day, day.addDays(1), 3600);
    EXPECT_EQ(gone.size(), 24u);
    // Its 24 whole hours: a reading exactly at the day's end (when the test
    // starts on a multiple of five minutes) begins the next hour, not this day's.
    expectSame(gone, fromMinutes(minutes, day.toSecsSinceEpoch(), day.addDays(1).toSecsSinceEpoch() - 1, 3600),
               "a day of hours");
}
