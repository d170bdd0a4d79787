// Every output of the verdict says the same thing for the same sky: the INDI
// watcher's forecast, the INDI safety proxy's open_ok, the Alpaca IsSafe and
// the verdict archived with the observation, over every combination of sky,
// rain, wind, daylight, a stale board and a watch not judged yet.
#include "observation_fixture.h"
#include "archive/archive.h"
#include "core/settings.h"
#include "feeds/indi_feeds.h"
#include "alpaca/devices/safety_monitor_device.h"
#include "safety/safety_watch.h"
#include "station/alert_engine.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {
const QDateTime kT0 = QDateTime(QDate(2026, 12, 7), QTime(20, 0), Qt::UTC);

struct NoPrograms : ProgramLauncher {
    void start(const QString &) override {}
};

enum class Sky { Clear, PartlyCloudy, Overcast, NotMeasured };

struct Case {
    Sky sky;
    bool rain;
    double wind; // window average, mph
    bool daylight;
    bool stale;
    bool unjudged;

    std::string name() const
    {
        return "sky " + std::to_string(int(sky)) + " rain " + std::to_string(rain) + " wind "
            + std::to_string(int(wind)) + " daylight " + std::to_string(daylight) + " stale " + std::to_string(stale)
            + " unjudged " + std::to_string(unjudged);
    }
    // At default settings: overcast and unmeasured skies are unsafe, partly cloudy is not;
    // the wind closes at WindSpeedCloseD (17), not at the warning level (10).
    bool safeWhenJudged() const
    {
        return !rain && !daylight && wind < 17 && (sky == Sky::Clear || sky == Sky::PartlyCloudy);
    }
};

Observation observationFor(const Case &c, const QDateTime &utc)
{
    Observation o;
    o.utc = utc;
    o.sky = c.sky == Sky::Overcast ? SkyClass::Overcast
        : c.sky == Sky::PartlyCloudy ? SkyClass::PartlyCloudy
                                     : SkyClass::Clear;
    o.cloudy = c.sky == Sky::PartlyCloudy || c.sky == Sky::Overcast;
    o.ambientMinusSkyC = o.cloudy ? 20 : 25;
    o.raining = c.rain;
    o.windAverage = c.wind;
    o.windGust = c.wind + 3;
    o.windy = c.wind >= 10; // the warning level
    o.daylight = c.daylight;
    o = withReadings(o);
    if (c.sky == Sky::NotMeasured)
        clearTemperatureReadings(o);
    return o;
}

std::optional<bool> deviceIsSafe(SafetyMonitorDevice &device)
{
    AlpacaTransactions transactions;
    device.handleMember("PUT", "connected", {{"Connected", "True"}, {"ClientID", "1"}}, transactions);
    const AlpacaReply reply = device.handleMember("GET", "issafe", {{"ClientID", "1"}}, transactions);
    const QJsonObject o = QJsonDocument::fromJson(reply.body).object();
    if (o.value("ErrorNumber").toInt() != 0)
        return std::nullopt;
    return o.value("Value").toBool();
}

std::vector<Case> everyCase()
{
    std::vector<Case> cases;
    for (Sky sky : {Sky::Clear, Sky::PartlyCloudy, Sky::Overcast, Sky::NotMeasured})
        for (bool rain : {false, true})
            for (double wind : {5.0, 12.0, 20.0})
                for (bool daylight : {false, true})
                    for (bool stale : {false, true})
                        for (bool unjudged : {false, true})
                            cases.push_back({sky, rain, wind, daylight, stale, unjudged});
    return cases;
}
} // namespace

TEST(OneJudge, FeedsIsSafeAndTheArchiveAgreeOnEveryKindOfSky)
{
    QTemporaryDir dir;
    Archive archive;
    ASSERT_TRUE(archive.open(dir.path() + "/archive.sqlite"));
    archive.setRetentionDays(100000);
    const Settings settings; // the defaults a user starts with
    NoPrograms launcher;
    QDateTime t = kT0;
    for (const Case &c : everyCase()) {
        SCOPED_TRACE(c.name());
        t = t.addSecs(120);
        QDateTime now = t;
        WatchFeed feed;
        // The archive hears of the watch before the judge exists, as at start-up.
        feed.listen([&archive](const WatchStatus &s, WatchFeed::Change change) { archive.onWatch(s, change); });
        feed.setBoard(BoardStatus{BoardState::Live, "/dev/ttyUSB0", "", t, {}});
        std::unique_ptr<SafetyWatch> judge;
        if (!c.unjudged)
        {
            judge = std::make_unique<SafetyWatch>(
                feed, [&settings] { return safetyWatchOptionsFrom(settings); }, launcher, [&now] { return now; });
            // The archive vouches for the sky up to the start, so the wait after it is credited.
            judge->setStartupCredit(StartupCredit{t.addSecs(-1), BoardState::Live});
        }
        SafetyMonitorDevice device(feed, "uid", [&now] { return now; });

        feed.publish(observationFor(c, t));
        if (c.stale) {
            now = t.addSecs(staleLimitSeconds(settings) + 1);
            if (judge)
                judge->judgeNow(); // the timer's judgement of a board gone quiet
        }

        const bool expected = !c.unjudged && !c.stale && c.safeWhenJudged();
        const bool forecastOk = watcherFeed(feed.status(), now, {}).endsWith("forecast=0\n");
        const QJsonObject roof = QJsonDocument::fromJson(safetyFeed(feed.status(), now, {}))
                                     .object()
                                     .value("roof_status")
                                     .toObject();
        EXPECT_EQ(forecastOk, expected);
        EXPECT_EQ(roof.value("open_ok").toInt(-1), expected ? 1 : 0);
        EXPECT_EQ(deviceIsSafe(device), std::optional<bool>(expected));

        // The row carries the verdict on that same observation.
        const auto rows = archive.observationsBetween(t, t);
        ASSERT_EQ(rows.size(), 1u);
        if (c.unjudged)
            EXPECT_FALSE(rows[0].safe.has_value());
        else
            EXPECT_EQ(rows[0].safe, std::optional<bool>(c.safeWhenJudged()));
    }
}
