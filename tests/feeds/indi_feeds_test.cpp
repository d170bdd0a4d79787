// The INDI feeds from a watch status: the watcher driver's lines, its alert
// marker, and the safety proxy's verdict, for fresh, stale and absent boards.
#include "observation_fixture.h"
#include "watch/cloud_cover.h"
#include "feeds/indi_feeds.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {
const QDateTime kNow = QDateTime(QDate(2026, 12, 7), QTime(22, 0), Qt::UTC);

// A clear, dry, calm night from a live board, read 2 s ago.
WatchStatus liveNight()
{
    Observation o;
    o.utc = kNow.addSecs(-2);
    o.ambientC = 4.26;
    o.ambientMinusSkyC = 23.5;
    o.humidityPercent = 81.04;
    o.dewPointC = 1.06;
    o.windAverage = 5;
    o.windGust = 10;
    o = withReadings(o, 0);
    WatchStatus s;
    s.board.state = BoardState::Live;
    s.board.lastRecord = o.utc; // as the feed keeps it
    s.latest = o;
    s.lastLive = o;
    s.safety = {true, true, {}, kNow.addSecs(-600)};
    return s;
}

QMap<QString, QString> lines(const QByteArray &feed)
{
    EXPECT_TRUE(feed.endsWith('\n')) << "the driver appends reads; an open last line would merge with the next";
    QMap<QString, QString> m;
    for (const QByteArray &l : feed.split('\n')) {
        if (l.isEmpty())
            continue;
        const qsizetype eq = l.indexOf('=');
        EXPECT_GT(eq, 0) << l.constData();
        m.insert(QString::fromLatin1(l.left(eq)), QString::fromLatin1(l.mid(eq + 1)));
    }
    return m;
}

QJsonObject roof(const WatchStatus &s, const QDateTime &now = kNow)
{
    const QByteArray feed = safetyFeed(s, now, {});
    EXPECT_TRUE(feed.endsWith('\n')) << "the proxy appends reads; without the newline two would merge";
    const QJsonDocument doc = QJsonDocument::fromJson(feed);
    EXPECT_TRUE(doc.isObject());
    return doc.object().value(QStringLiteral("roof_status")).toObject();
}
} // namespace

TEST(CloudCoverTest, ZeroAboveThePartlyCloudyLineFullAtTheOvercastLine)
{
    EXPECT_EQ(cloudCoverPercent(25, 22, 19), 0);
    EXPECT_EQ(cloudCoverPercent(22, 22, 19), 0);
    EXPECT_NEAR(cloudCoverPercent(21, 22, 19), 33.333, 0.001);
    EXPECT_EQ(cloudCoverPercent(19, 22, 19), 100);
    EXPECT_EQ(cloudCoverPercent(-5, 22, 19), 100);
    // Thresholds in the wrong order: no division by zero or a negative span.
    EXPECT_EQ(cloudCoverPercent(19, 19, 19), 100);
    EXPECT_EQ(cloudCoverPercent(20, 19, 19), 0);
    EXPECT_EQ(cloudCoverPercent(17, 18, 22), 100);
    EXPECT_EQ(cloudCoverPercent(18.5, 18, 22), 0);
}

TEST(WatcherFeedTest, CalmNightInTheDriversKeysAndUnits)
{
    const auto m = lines(watcherFeed(liveNight(), kNow, {}));
    EXPECT_EQ(m.value("temperature"), "4.3");
    EXPECT_EQ(m.value("humidity"), "81.0");
    EXPECT_EQ(m.value("dewpoint"), "1.1");
    EXPECT_EQ(m.value("sky_minus_ambient"), "-23.5");
    EXPECT_EQ(m.value("clouds"), "0");
    EXPECT_EQ(m.value("precip"), "0");
    EXPECT_EQ(m.value("wind"), "8.0"); // 5 mph
    EXPECT_EQ(m.value("gust"), "16.1");
    EXPECT_EQ(m.value("daylight"), "0");
    EXPECT_EQ(m.value("forecast"), "0");
    EXPECT_TRUE(closedReasons(liveNight(), kNow, 30).isEmpty());
}

TEST(WatcherFeedTest, TheAlertMarkerFollowsTheVerdictNotTheReadings)
{
    // A partly cloudy, windy-looking sky the verdict finds safe: no alert of the feed's own.
    WatchStatus cloud = liveNight();
    cloud.lastLive->readings.set(Quantity::AmbMinusSky, 20.5);
    cloud.lastLive->readings.set(Quantity::CloudCover, 50);
    cloud.lastLive->cloudy = true;
    cloud.lastLive->windy = true;
    auto m = lines(watcherFeed(cloud, kNow, {}));
    EXPECT_EQ(m.value("clouds"), "50");
    EXPECT_EQ(m.value("forecast"), "0");

    // Rain judged unsafe: the marker and the verdict's own words.
    WatchStatus rain = liveNight();
    rain.lastLive->raining = true;
    rain.safety = {true, false, {{"rain", "Rain on the sensor", kNow}}, kNow};
    m = lines(watcherFeed(rain, kNow, {}));
    EXPECT_EQ(m.value("precip"), "1");
    EXPECT_EQ(m.value("forecast"), "2");
    EXPECT_EQ(closedReasons(rain, kNow, 30), QStringList{"Rain on the sensor"});

    // Not judged yet: alert.
    WatchStatus unjudged = liveNight();
    unjudged.safety = {};
    EXPECT_EQ(lines(watcherFeed(unjudged, kNow, {})).value("forecast"), "2");
}

TEST(WatcherFeedTest, UntrustedBoardAlertsAndKeepsOnlyWhatItKnows)
{
    // Searching, lost or absent: no value is passed off as a reading of now, only the alert.
    WatchStatus lost = liveNight();
    lost.board.state = BoardState::Lost;
    lost.board.reason = "No such device";
    EXPECT_EQ(watcherFeed(lost, kNow, {}), QByteArray("forecast=2\n"));
    EXPECT_EQ(closedReasons(lost, kNow, 30), QStringList{"The board is lost (No such device)"});

    // Live, but the last reading (2 s before kNow) is older than the limit.
    WatchStatus stale = liveNight();
    EXPECT_EQ(lines(watcherFeed(stale, kNow.addSecs(27), {})).value("forecast"), "0");
    EXPECT_EQ(lines(watcherFeed(stale, kNow.addSecs(28), {})).value("forecast"), "2");
    EXPECT_FALSE(lines(watcherFeed(stale, kNow.addSecs(28), {})).contains("temperature"));

    // Nothing read yet: no made-up readings, only the marker.
    WatchStatus none;
    none.board.state = BoardState::Simulated;
    EXPECT_EQ(watcherFeed(none, kNow, {}), QByteArray("forecast=2\n"));

    // Processing switched off: those quantities are left out.
    WatchStatus off = liveNight();
    clearTemperatureReadings(*off.lastLive);
    for (Quantity q : {Quantity::Wind, Quantity::WindAverage, Quantity::Gust})
        off.lastLive->readings.set(q, std::nullopt);
    const auto m = lines(watcherFeed(off, kNow, {}));
    EXPECT_FALSE(m.contains("temperature") || m.contains("clouds") || m.contains("wind") || m.contains("gust"));
    EXPECT_EQ(m.value("precip"), "0");

    // A missing humidity is left out.
    WatchStatus humid = liveNight();
    clearHumidityReadings(*humid.lastLive);
    EXPECT_FALSE(lines(watcherFeed(humid, kNow, {})).contains("humidity"));
}

TEST(SafetyFeedTest, SafeOnlyWithAKnownSafeVerdictFromAFreshBoard)
{
    WatchStatus s = liveNight();
    s.safety = {};
    QJsonObject r = roof(s);
    EXPECT_EQ(r.value("open_ok").toInt(-1), 0);
    EXPECT_EQ(r.value("reasons").toString(), "No safety verdict yet");

    s.safety = {true, true, {}, kNow};
    r = roof(s);
    EXPECT_EQ(r.value("open_ok").toInt(-1), 1);
    EXPECT_EQ(r.value("reasons").toString(), "");

    EXPECT_EQ(roof(s, kNow.addSecs(120)).value("open_ok").toInt(-1), 0);

    s.board.state = BoardState::Silent;
    r = roof(s);
    EXPECT_EQ(r.value("open_ok").toInt(-1), 0);
    EXPECT_EQ(r.value("reasons").toString(), "The board is silent");
    // The verdict's older words on the board give way to its state now.
    s.safety = {true, false, {{"board", "No reading from the board for more than 30 s", kNow}}, kNow};
    EXPECT_EQ(roof(s).value("reasons").toString(), "The board is silent");

    s.board.state = BoardState::Live;
    s.safety = {true, false, {{"rain", "Rain since 21:40", kNow}, {"wind", "Wind 30 mph", kNow}}, kNow};
    r = roof(s);
    EXPECT_EQ(r.value("open_ok").toInt(-1), 0);
    EXPECT_EQ(r.value("reasons").toString(), "Rain since 21:40; Wind 30 mph");
}
