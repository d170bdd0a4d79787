// The driver reads what the program's own /tarnwick/v1/live route writes, and
// makes of each read the one verdict, or an Alert when the read is no good.
#include "observation_fixture.h"
#include "watch/watch_status.h"
#include "live_answer.h"
#include "live_fetch.h"
#include "web/web_routes.h"

#include <gtest/gtest.h>

namespace {
const QDateTime t0 = QDateTime(QDate(2026, 12, 7), QTime(22, 0, 0, 250), Qt::UTC);

std::optional<LiveAnswer> answerFor(const WatchStatus &status, const QDateTime &now = t0)
{
    const HttpRouteReply reply = answerLive(HttpRouteRequest{"GET", "/tarnwick/v1/live", {}, {}}, status, now);
    std::string problem;
    return parseLiveAnswer(reply.body.toStdString(), problem);
}

WatchStatus liveStatus(bool safe)
{
    WatchStatus s;
    Observation o;
    o.utc = t0.addSecs(-1);
    o.ambientC = 4.25;
    o.ambientMinusSkyC = 23.5;
    o.humidityPercent = 81;
    o.windAverage = 10;
    o.windGust = 20;
    o.raining = !safe;
    s.lastLive = withReadings(o);
    s.board = BoardStatus{BoardState::Live, "/dev/ttyUSB0", "", t0.addSecs(-60), o.utc};
    s.safety.known = true;
    s.safety.safe = safe;
    if (!safe)
        s.safety.unsafe = {{"rain", "Rain on the sensor", t0}, {"startup", "Waiting 10 min after start", t0}};
    return s;
}
} // namespace

TEST(LiveAnswerTest, ReadsTheProgramsOwnAnswer)
{
    const std::optional<LiveAnswer> safe = answerFor(liveStatus(true));
    ASSERT_TRUE(safe);
    EXPECT_EQ(safe->nowMs, t0.toMSecsSinceEpoch());
    EXPECT_DOUBLE_EQ(safe->temperatureC, 4.25);
    EXPECT_DOUBLE_EQ(safe->skyMinusAmbientC, -23.5);
    EXPECT_DOUBLE_EQ(safe->humidityPercent, 81);
    EXPECT_NEAR(safe->windKmh, 16.09, 0.01);
    EXPECT_NEAR(safe->gustKmh, 32.19, 0.01);
    EXPECT_EQ(safe->raining, 0);
    const ReadOutcome ok = outcomeOf("", safe, "", 0);
    EXPECT_TRUE(ok.safe && ok.fresh);
    EXPECT_EQ(ok.reasons, "Safe");

    const ReadOutcome wet = outcomeOf("", answerFor(liveStatus(false)), "", 0);
    EXPECT_FALSE(wet.safe);
    EXPECT_TRUE(wet.fresh);
    EXPECT_EQ(wet.reasons, "Rain on the sensor; Waiting 10 min after start");
}

TEST(LiveAnswerTest, NoVerdictAStaleBoardOrABadReadIsNeverSafe)
{
    WatchStatus starting; // no reading and no verdict yet
    const ReadOutcome unjudged = outcomeOf("", answerFor(starting), "", 0);
    EXPECT_FALSE(unjudged.safe || unjudged.fresh);

    WatchStatus silent = liveStatus(true); // Tarnwick's verdict holds the board: its values are old
    silent.safety.safe = false;
    silent.safety.unsafe = {{"board", "No reading from the board for more than 30 s", t0}};
    const ReadOutcome stale = outcomeOf("", answerFor(silent), "", 0);
    EXPECT_FALSE(stale.safe || stale.fresh);
    EXPECT_EQ(stale.reasons, "No reading from the board for more than 30 s");

    const std::optional<LiveAnswer> good = answerFor(liveStatus(true));
    // The same answer again (a cache, a frozen clock) is an old one.
    EXPECT_FALSE(outcomeOf("", good, "", good->nowMs).safe);
    EXPECT_FALSE(outcomeOf("Timeout was reached", std::nullopt, "", 0).safe);
    std::string problem;
    EXPECT_FALSE(parseLiveAnswer("<html>proxy error</html>", problem));
    EXPECT_FALSE(parseLiveAnswer(R"({"now":"2026-12-07T22:00:00Z","safety":"yes"})", problem));
    EXPECT_FALSE(outcomeOf("", std::nullopt, problem, 0).safe);
}

TEST(LiveAnswerTest, TheAddressAUserGivesLeadsToTheLiveAnswer)
{
    EXPECT_EQ(liveUrlFrom("http://127.0.0.1:11111"), "http://127.0.0.1:11111/tarnwick/v1/live");
    EXPECT_EQ(liveUrlFrom("http://obs:8080/ "), "http://obs:8080/tarnwick/v1/live");
    EXPECT_EQ(liveUrlFrom("http://obs/tarnwick/v1/live"), "http://obs/tarnwick/v1/live");
}
