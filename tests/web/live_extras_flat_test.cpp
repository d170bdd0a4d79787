// Today's highs and lows, the trends and last night as the live answer gives
// them from the archive's minutes in memory, against the same made from the
// archive file itself: two days and a half of readings across local midnights
// and solar noons, with restarts of the writer in the middle of a minute.
#include "archive/archive.h"
#include "archive/archive_query.h"
#include "archive/history_text.h"
#include "core/settings.h"
#include "web/web_routes.h"
#include "../archive/archive_fixture.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <cmath>
#include <ctime>
#include <gtest/gtest.h>

namespace {

// Readings that wander, with gaps, missing quantities and changing verdicts.
Observation wanderingAt(const QDateTime &utc, qint64 i)
{
    Observation o = observationAt(utc, 8 + 6 * std::sin(double(i) / 700) + 0.37 * std::sin(double(i) * 1.3));
    o.readings.set(Quantity::Humidity, 60 + 30 * std::sin(double(i) / 900));
    o.readings.set(Quantity::AmbMinusSky, 15 + 10 * std::cos(double(i) / 500));
    o.readings.set(Quantity::Gust, std::fmod(double(i) * 0.77, 13));
    o.cloudy = (i / 97) % 3 == 0;
    o.raining = (i / 211) % 5 == 0;
    if (i % 53 == 0)
        clearHumidityReadings(o);
    return o;
}

SafetyVerdict verdictAt(qint64 i)
{
    if (i % 400 < 40)
        return {};
    return SafetyVerdict{true, (i / 150) % 4 != 0, {}, {}};
}

// The parts of the live answer made from the minutes, as the file gives them.
QJsonObject fromTheFile(const QString &path, const SiteLocation &site, const QDateTime &now)
{
    ArchiveReader reader;
    QString why;
    EXPECT_TRUE(reader.open(path, why)) << why.toStdString();
    const QDateTime midnight = QDateTime(now.toLocalTime().date(), QTime(0, 0)).toUTC();
    auto minutes = [&reader](const QDateTime &from, const QDateTime &to) { return queryMinutes(reader.database(), from, to); };
    return {{"today", todayJson(minutes(midnight, now), midnight)},
            {"trends", trendsJson(minutes(now.addSecs(-30 * 60), now))},
            {"night", nightJson(site, now, minutes)}};
}

QJsonObject served(const HttpRouteReply &reply)
{
    const QJsonObject o = QJsonDocument::fromJson(reply.body).object();
    return {{"today", o["today"]}, {"trends", o["trends"]}, {"night", o["night"]}};
}

} // namespace

TEST(LiveExtras, FromMemoryAsFromTheFileAcrossMidnightNoonAndRestarts)
{
    const bool hadTz = qEnvironmentVariableIsSet("TZ");
    const QByteArray savedTz = qgetenv("TZ");
    qputenv("TZ", "XST-10"); // local midnight at 14:00 UTC
    tzset();
    QTemporaryDir dir;
    const QString path = dir.filePath("archive.sqlite");
    Settings settings;
    settings.Latitude = "52.2";
    settings.Longitude = "0.1";
    LiveRules rules = liveRulesFrom(settings);
    rules.staleAfterSeconds = 1 << 30;

    const QDateTime t0 = utcAt("2026-12-05T09:00:00Z");
    constexpr qint64 kStep = 30, kSpan = 56 * 3600; // past the two days and more kept in memory
    // Restarts in the middle of a minute: once carrying on in the same minute,
    // once after a gap of a few minutes.
    const std::vector<qint64> restartsAt = {11 * 3600 + 30 * 60 + 30, 27 * 3600 + 10 * 60 + 30};
    auto archive = std::make_unique<Archive>();
    archive->setRetentionDays(100000);
    archive->setBatchSeconds(3600); // committed before each comparison
    ASSERT_TRUE(archive->open(path));
    auto cache = std::make_unique<LiveExtrasCache>();
    WatchFeed watch;
    int compared = 0;
    for (qint64 s = 0, gap = 0; s <= kSpan; s += kStep) {
        if (std::find(restartsAt.begin(), restartsAt.end(), s) != restartsAt.end()) {
            archive = std::make_unique<Archive>();
            archive->setRetentionDays(100000);
            archive->setBatchSeconds(3600);
            ASSERT_TRUE(archive->open(path));
            cache = std::make_unique<LiveExtrasCache>();
            s += gap;
            gap += 240;
        }
        const QDateTime now = t0.addSecs(s);
        archive->add(wanderingAt(now, s / kStep), simulatedBoard(), verdictAt(s / kStep));
        // Every hour and a bit, and each step around local midnight
        // (14:00 UTC) and around the solar noon (near 11:50 UTC).
        const qint64 utc = (s + 9 * 3600) % 86400;
        const bool due = s % (61 * 60 + 30) < kStep || std::abs(utc - 14 * 3600) <= 120 || std::abs(utc - 11 * 3600 - 50 * 60) <= 120;
        if (!due)
            continue;
        archive->flush();
        for (const qint64 ms : {0, 999}) {
            const QDateTime at = now.addMSecs(ms);
            const QJsonObject expected = fromTheFile(path, rules.site, at);
            const QJsonObject uncached = served(answerLive({"GET", "/tarnwick/v1/live", {}, {}}, watch.status(), at, archive.get(), rules));
            const QJsonObject kept = served(answerLive({"GET", "/tarnwick/v1/live", {}, {}}, watch.status(), at, archive.get(), rules, cache.get()));
            ASSERT_EQ(uncached, expected) << isoUtc(at).toStdString();
            ASSERT_EQ(kept, expected) << isoUtc(at).toStdString();
            ++compared;
        }
    }
    archive.reset();
    hadTz ? qputenv("TZ", savedTz) : qunsetenv("TZ");
    tzset();
    EXPECT_GT(compared, 150);
}
