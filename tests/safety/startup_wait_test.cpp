// The wait after a start: what the archive of a real SQLite file vouches for,
// and the full delay from the first reading that says when it ends. (The
// program started on an archive safe up to the start: tests/app.)
#include "observation_fixture.h"
#include "archive/archive.h"
#include "safety/safety_monitor.h"
#include "safety/startup_wait.h"
#include "watch/board_words.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
const QDateTime start = QDateTime(QDate(2026, 12, 7), QTime(22, 0), Qt::UTC);

SafetyVerdict judged(bool safe)
{
    SafetyVerdict v;
    v.known = true;
    v.safe = safe;
    if (!safe)
        v.unsafe = {{QStringLiteral("rain"), QStringLiteral("Rain on the sensor"), start}};
    return v;
}

class StartupWaitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(archive.open(dir.filePath(QStringLiteral("archive.sqlite"))));
        rules.safeDelayMinutes = 10;
        rules.staleAfterSeconds = 30;
    }
    // One archived reading a second over [from, to) before the start, with this verdict.
    void archiveSeconds(int from, int to, bool safe = true, BoardState board = BoardState::Live)
    {
        for (int s = from; s < to; ++s) {
            Observation o;
            o.utc = start.addSecs(s);
            archive.add(o, BoardStatus{board, "/dev/ttyUSB0", "", start.addSecs(-3600), o.utc}, judged(safe));
        }
        archive.flush();
    }
    std::optional<StartupCredit> credit()
    {
        return creditFromArchive(archive.observationsBetween(start.addSecs(-3600), start), start, rules);
    }
    // The program as it starts: searching, then a clear, dry reading at `second`.
    const SafetyVerdict &judgeAt(int second, bool reading, bool raining = false)
    {
        if (reading) {
            Observation o;
            o.utc = start.addSecs(second);
            o.raining = raining;
            o = withReadings(o);
            status.board = BoardStatus{BoardState::Live, "/dev/ttyUSB0", "", start, o.utc};
            status.lastLive = o;
        }
        return monitor.judge(status, rules, start.addSecs(second));
    }

    QTemporaryDir dir;
    Archive archive;
    SafetyRules rules;
    WatchStatus status;
    SafetyMonitor monitor;
};
} // namespace

TEST_F(StartupWaitTest, AFirstReadingThatIsNotSafeKeepsItsOwnDelay)
{
    archiveSeconds(-660, -5);
    monitor.setStartupCredit(credit());
    judgeAt(0, false);
    const SafetyVerdict &wet = judgeAt(2, true, true);
    ASSERT_EQ(wet.unsafe.size(), 1);
    EXPECT_EQ(wet.unsafe[0].name, "rain");
    EXPECT_FALSE(judgeAt(3, true).safe);
    EXPECT_TRUE(judgeAt(602, true).safe);
}

TEST_F(StartupWaitTest, AGapRunsTheFullDelayFromTheFirstReadingAndSaysWhenItEnds)
{
    archiveSeconds(-660, -300);
    archiveSeconds(-260, -5); // 40 s without a reading
    monitor.setStartupCredit(credit());
    judgeAt(0, false);
    const SafetyVerdict &waiting = judgeAt(75, true);
    EXPECT_FALSE(waiting.safe);
    ASSERT_EQ(waiting.unsafe.size(), 1);
    EXPECT_EQ(waiting.unsafe[0].name, "startup");
    EXPECT_EQ(waiting.unsafe[0].text, "Waiting 10 min after start — safe at 22:12 UTC if nothing changes");
    EXPECT_EQ(safetyWords(waiting), "Unsafe: waiting 10 min after start — safe at 22:12 UTC if nothing changes");
    EXPECT_FALSE(judgeAt(674, true).safe);
    EXPECT_TRUE(judgeAt(675, true).safe);
    // Waited out, the wait is over for this run.
    EXPECT_TRUE(judgeAt(700, true).safe);
}

// A reading 2 s after the start: safe at once only when the archive shows the
// sky watched and safe without a gap for the whole delay before it.
struct ArchiveSpan {
    int from, to;
    BoardState board = BoardState::Live;
};
struct GapCase {
    const char *what;
    std::vector<ArchiveSpan> spans;
    bool safeAtOnce;
};
void PrintTo(const GapCase &c, std::ostream *os)
{
    *os << c.what;
}
class StartupGap : public StartupWaitTest, public ::testing::WithParamInterface<GapCase> {};

TEST_P(StartupGap, AGapInTheArchiveRestartsTheDelay)
{
    for (const ArchiveSpan &span : GetParam().spans)
        archiveSeconds(span.from, span.to, true, span.board);
    monitor.setStartupCredit(credit());
    judgeAt(0, false);
    EXPECT_EQ(judgeAt(2, true).safe, GetParam().safeAtOnce);
    EXPECT_EQ(judgeAt(601, true).safe, GetParam().safeAtOnce);
    EXPECT_TRUE(judgeAt(602, true).safe);
}

INSTANTIATE_TEST_SUITE_P(
    Archive, StartupGap,
    ::testing::Values(GapCase{"watched", {{-660, -5}}, true},
                      GapCase{"rows29sApart", {{-660, -300}, {-272, -5}}, true},
                      GapCase{"programDown30s", {{-660, -300}, {-271, -5}}, false},
                      GapCase{"boardLost", {{-660, -300}, {-300, -240, BoardState::Lost}, {-240, -5}}, false},
                      GapCase{"boardSimulated", {{-660, -300}, {-300, -5, BoardState::Simulated}}, false}),
    [](const ::testing::TestParamInfo<GapCase> &info) { return std::string(info.param.what); });

TEST_F(StartupWaitTest, TheArchiveVouchesOnlyForWatchedSafeMinutesRightUpToTheStart)
{
    archiveSeconds(-660, -5);
    EXPECT_TRUE(credit().has_value());
    rules.staleAfterSeconds = 5; // the newest row is then too old
    EXPECT_FALSE(credit().has_value());
    rules.staleAfterSeconds = 30;
    rules.safeDelayMinutes = 11; // 655 s of rows cover no 11 minutes
    EXPECT_FALSE(credit().has_value());
    rules.safeDelayMinutes = 10;
    archiveSeconds(-100, -99, false); // one unsafe row within the delay
    EXPECT_FALSE(credit().has_value());

    // A board that comes up late has left the sky unwatched since the archive's end.
    StartupWait late;
    late.setCredit(StartupCredit{start.addSecs(-5), BoardState::Live});
    WatchStatus live;
    live.board.state = BoardState::Live;
    EXPECT_TRUE(late.firstReading(false, live, start.addSecs(25), rules));
    EXPECT_TRUE(late.holding(start.addSecs(25), rules).has_value());
    StartupWait simulated; // the simulator's sky vouches for no real board
    simulated.setCredit(StartupCredit{start.addSecs(-5), BoardState::Simulated});
    simulated.firstReading(false, live, start.addSecs(1), rules);
    EXPECT_TRUE(simulated.holding(start.addSecs(1), rules).has_value());
}
