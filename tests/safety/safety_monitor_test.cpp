// The safety verdict on a clock the test moves: unsafe at once, safe after the
// delay, stale boards, the sky and wind rules, and the programs on a turn.
#include "observation_fixture.h"
#include "core/settings.h"
#include "watch/watch_status.h"
#include "safety/safety_monitor.h"
#include "safety/safety_watch.h"
#include "station/alert_engine.h"

#include <gtest/gtest.h>

namespace {
const QDateTime t0 = QDateTime(QDate(2026, 12, 7), QTime(22, 0), Qt::UTC);

struct Recorder : ProgramLauncher {
    QStringList started;
    void start(const QString &commandLine) override { started << commandLine; }
};

QStringList names(const SafetyVerdict &v)
{
    QStringList n;
    for (const UnsafeCondition &c : v.unsafe)
        n << c.name;
    return n;
}

class SafetyFixture : public ::testing::Test {
protected:
    // A live board whose last record arrived at `at`, with the given weather.
    void live(const QDateTime &at, bool raining = false, SkyClass sky = SkyClass::Clear, double wind = 2)
    {
        Observation o;
        o.utc = at;
        o.raining = raining;
        o.sky = sky;
        o.windAverage = wind;
        o = withReadings(o);
        status.board = BoardStatus{BoardState::Live, "/dev/ttyUSB0", "", t0, at};
        status.lastLive = o;
        status.latest = o;
    }
    const SafetyVerdict &judgeAt(int seconds) { return monitor.judge(status, rules, t0.addSecs(seconds)); }

    WatchStatus status;
    SafetyRules rules;
    SafetyMonitor monitor;
};
} // namespace

TEST_F(SafetyFixture, RainIsUnsafeAtOnceAndDryIsSafeOnlyAfterTheDelay)
{
    rules.safeDelayMinutes = 10;
    status.board.state = BoardState::Searching; // as at start-up
    EXPECT_FALSE(judgeAt(0).safe);
    live(t0.addSecs(1));
    EXPECT_FALSE(judgeAt(1).safe); // the wait after start, from the first reading
    live(t0.addSecs(600));
    EXPECT_FALSE(judgeAt(600).safe);
    EXPECT_TRUE(judgeAt(601).safe);

    live(t0.addSecs(700), true);
    const SafetyVerdict &wet = judgeAt(700);
    EXPECT_FALSE(wet.safe);
    EXPECT_EQ(names(wet), QStringList{"rain"});
    EXPECT_EQ(wet.unsafe[0].since, t0.addSecs(700));
    EXPECT_EQ(wet.changed, t0.addSecs(700));

    live(t0.addSecs(760), false);
    const SafetyVerdict &drying = judgeAt(760);
    EXPECT_FALSE(drying.safe);
    EXPECT_TRUE(drying.unsafe[0].text.contains("ended 22:11:40 UTC")) << drying.unsafe[0].text.toStdString();
    // Rain again within the delay: the same episode, its start kept, the delay restarts.
    live(t0.addSecs(800), true);
    EXPECT_EQ(judgeAt(800).unsafe[0].since, t0.addSecs(700));
    live(t0.addSecs(1399), false);
    const SafetyVerdict &drying2 = judgeAt(1399);
    EXPECT_FALSE(drying2.safe);
    EXPECT_TRUE(drying2.unsafe[0].text.contains("ended 22:13:20 UTC")) << drying2.unsafe[0].text.toStdString();
    live(t0.addSecs(1400), false);
    const SafetyVerdict &dry = judgeAt(1400);
    EXPECT_TRUE(dry.safe);
    EXPECT_TRUE(dry.unsafe.isEmpty());
    EXPECT_EQ(dry.changed, t0.addSecs(1400));
}

TEST_F(SafetyFixture, ABoardThatStopsDeliveringIsUnsafeWithinStaleAfterSeconds)
{
    rules.safeDelayMinutes = 0;
    rules.staleAfterSeconds = 30;
    live(t0, true);
    EXPECT_EQ(names(judgeAt(0)), QStringList{"rain"});
    // The record stays the last one: stale after 30 s, and only the board is named.
    EXPECT_FALSE(judgeAt(30).unsafe.isEmpty());
    const SafetyVerdict &stale = judgeAt(31);
    EXPECT_EQ(names(stale), QStringList{"board"});
    EXPECT_EQ(stale.unsafe[0].text, "No reading from the board for more than 30 s");

    for (BoardState s : {BoardState::Searching, BoardState::Silent, BoardState::Lost, BoardState::Absent}) {
        live(t0.addSecs(40));
        status.board.state = s;
        EXPECT_EQ(names(judgeAt(40)), QStringList{"board"}) << boardStateName(s).toStdString();
    }
    live(t0.addSecs(50));
    status.board.state = BoardState::Simulated;
    EXPECT_TRUE(judgeAt(50).safe);
}

TEST_F(SafetyFixture, ConditionsSeenBeforeTheBoardWentAreUnknownNotEnded)
{
    rules.safeDelayMinutes = 10;
    // The wait after the start is its own condition; only the weather's are looked at here.
    const auto weatherOnly = [this](int seconds) {
        SafetyVerdict v = judgeAt(seconds);
        v.unsafe.removeIf([](const UnsafeCondition &c) { return c.name == QLatin1String("startup"); });
        return v;
    };
    live(t0, true);
    judgeAt(0);
    status.board.state = BoardState::Lost;
    const SafetyVerdict blind = weatherOnly(5);
    ASSERT_EQ(names(blind), (QStringList{"board", "rain"}));
    EXPECT_EQ(blind.unsafe[1].text, "Rain on the sensor \u2014 unknown (board lost)");
    // Back and dry: now it has ended.
    live(t0.addSecs(20));
    const SafetyVerdict back = weatherOnly(20);
    ASSERT_EQ(names(back), (QStringList{"board", "rain"}));
    EXPECT_TRUE(back.unsafe[1].text.contains("(ended 22:00:00 UTC")) << back.unsafe[1].text.toStdString();
}

TEST_F(SafetyFixture, SkyWindAndDaylightFollowTheRules)
{
    rules.safeDelayMinutes = 0;
    const auto held = [&](bool raining, SkyClass sky, double wind) {
        live(t0, raining, sky, wind);
        QStringList n;
        for (const HeldCondition &c : conditionsNow(status, rules, t0))
            n << c.name;
        return n;
    };
    EXPECT_TRUE(held(false, SkyClass::PartlyCloudy, 16.9).isEmpty());
    EXPECT_EQ(held(false, SkyClass::Overcast, 17), (QStringList{"clouds", "wind"}));
    rules.unsafeWhenOvercast = false;
    EXPECT_TRUE(held(false, SkyClass::Overcast, 0).isEmpty());
    rules.unsafeWhenPartlyCloudy = true; // a cloudier sky is then unsafe too
    EXPECT_EQ(held(false, SkyClass::Overcast, 0), QStringList{"clouds"});
    EXPECT_EQ(held(true, SkyClass::PartlyCloudy, 0), (QStringList{"rain", "clouds"}));

    live(t0);
    status.lastLive->daylight = true;
    EXPECT_EQ(conditionsNow(status, rules, t0).size(), 1);
    rules.unsafeInDaylight = false;
    EXPECT_TRUE(conditionsNow(status, rules, t0).isEmpty());
    // Placeholders are not readings.
    clearTemperatureReadings(*status.lastLive);
    status.lastLive->readings.set(Quantity::WindAverage, std::nullopt);
    EXPECT_EQ(conditionsNow(status, rules, t0).size(), 2);
}

TEST(SafetyWatchTest, PublishesChangesAndStartsTheProgramsOnATurn)
{
    WatchFeed feed;
    Settings settings;
    settings.SafeDelayMinutes = 1;
    settings.UnsafeProgram = "/usr/local/bin/close-roof --now";
    settings.SafeProgram = "/usr/local/bin/open-roof";
    Recorder launcher;
    QDateTime now = t0;
    int safetyChanges = 0;
    feed.listen([&](const WatchStatus &, WatchFeed::Change c) { safetyChanges += c == WatchFeed::Change::Safety; });
    SafetyWatch watch(feed, [&settings] { return safetyWatchOptionsFrom(settings); }, launcher, [&] { return now; });
    watch.judgeNow();
    EXPECT_TRUE(feed.status().safety.known);
    EXPECT_FALSE(feed.status().safety.safe);
    EXPECT_EQ(safetyChanges, 1);

    Observation o = withReadings({});
    o.utc = now;
    feed.setBoard(BoardStatus{BoardState::Live, "", "", now, now});
    feed.publish(o); // the first reading: now the wait after start
    EXPECT_EQ(names(feed.status().safety), QStringList{"startup"});
    watch.judgeNow(); // unchanged verdict: not published again
    EXPECT_EQ(safetyChanges, 3);
    EXPECT_TRUE(launcher.started.isEmpty()); // the first verdict is no turn

    now = t0.addSecs(61);
    o.utc = now;
    feed.publish(o); // the feed keeps the board's last record
    EXPECT_TRUE(feed.status().safety.safe);
    EXPECT_EQ(launcher.started, QStringList{"/usr/local/bin/open-roof"});

    o.raining = true;
    feed.publish(o);
    EXPECT_FALSE(feed.status().safety.safe);
    EXPECT_EQ(launcher.started.last(), "/usr/local/bin/close-roof --now");
    // The board goes quiet: the timer's judgement alone finds it stale.
    now = now.addSecs(31);
    watch.judgeNow();
    EXPECT_EQ(names(feed.status().safety), (QStringList{"board", "rain"}));
    EXPECT_EQ(launcher.started.size(), 2);
}
