// The board's state: the words people read, when readings may go out, the
// back-off between tries, and the link's changes of state on the fake port
// with a clock the test moves.
#include "core/settings.h"
#include "station/board_tracker.h"
#include "watch/board_words.h"
#include "station_fixture.h"

namespace {

const QDateTime kNow(QDate(2026, 12, 7), QTime(21, 10, 0), Qt::UTC);

BoardStatus status(BoardState state, const QString &device, qint64 sinceSecondsAgo, qint64 recordSecondsAgo = -1)
{
    BoardStatus b;
    b.state = state;
    b.device = device;
    b.since = kNow.addSecs(-sinceSecondsAgo);
    if (recordSecondsAgo >= 0)
        b.lastRecord = kNow.addSecs(-recordSecondsAgo);
    return b;
}

TEST(BoardWords, StateAgeSkyAndSafetyInWords)
{
    EXPECT_EQ(boardWords(status(BoardState::Live, "/dev/ttyUSB0", 5), kNow), "Live on /dev/ttyUSB0");
    EXPECT_EQ(boardWords(status(BoardState::Absent, "/dev/ttyS1", 5), kNow),
              "No board on /dev/ttyS1 \u2014 showing test values");
    EXPECT_EQ(boardWords(status(BoardState::Lost, "/dev/ttyUSB0", 150), kNow),
              "Board lost 2 min ago on /dev/ttyUSB0 \u2014 retrying");
    EXPECT_EQ(boardWords(status(BoardState::Silent, "/dev/ttyUSB0", 10, 45), kNow),
              "Board silent for 45 s on /dev/ttyUSB0 \u2014 retrying");
    EXPECT_EQ(ageWords(kNow.addSecs(-1), kNow), "updated 1 s ago");
    EXPECT_EQ(ageWords(kNow.addSecs(-7300), kNow), "updated 2 h ago");
    EXPECT_EQ(ageWords(QDateTime(), kNow), "no reading yet");

    Observation o;
    o.readings.sky = SkyClass::PartlyCloudy;
    o.readings.set(Quantity::WindAverage, 20);
    EXPECT_EQ(skyWords(o), "Partly cloudy");
    o.windy = true;
    o.raining = true;
    EXPECT_EQ(skyWords(o), "Rain, Windy");
    o = Observation{};
    o.sky = SkyClass::Overcast; // the station's class from placeholders
    EXPECT_EQ(skyWords(o), "Sky not measured");
    o.source = ObservationSource::TestRecord;
    EXPECT_EQ(skyWords(o), "");

    SafetyVerdict v;
    EXPECT_EQ(safetyWords(v), "");
    v.known = true;
    v.unsafe = {{"rain", "Rain", kNow}, {"wind", "Windy", kNow}};
    EXPECT_EQ(safetyWords(v), "Unsafe: rain, wind");
    v.safe = true;
    v.unsafe.clear();
    EXPECT_EQ(safetyWords(v), "Safe");

    EXPECT_EQ(boardChangeLine(status(BoardState::Lost, "/dev/ttyUSB0", 0)), "board lost on /dev/ttyUSB0");
}

// The watch with the board as given and, when it has a record, a live
// observation of that time (observationSecondsAgo: an older one).
WatchStatus watchOf(const BoardStatus &board, qint64 observationSecondsAgo = -1)
{
    WatchStatus w;
    w.board = board;
    if (board.lastRecord.isValid()) {
        w.lastLive = Observation{};
        w.lastLive->utc = observationSecondsAgo >= 0 ? kNow.addSecs(-observationSecondsAgo) : board.lastRecord;
    }
    return w;
}

TEST(BoardWords, ReadingsGoOutOnlyFreshFromABoardThatDelivers)
{
    const auto reason = [](const BoardStatus &b, qint64 observationSecondsAgo = -1) {
        return notLiveReason(watchOf(b, observationSecondsAgo), kNow, 30);
    };
    const auto since = [](int secondsAgo) {
        return "no live reading since " + kNow.addSecs(-secondsAgo).toLocalTime().toString("HH:mm:ss");
    };
    EXPECT_EQ(reason(status(BoardState::Live, "d", 60, 29)), "");
    EXPECT_EQ(reason(status(BoardState::Simulated, "d", 60, 1)), "");
    EXPECT_EQ(reason(status(BoardState::Live, "d", 60, 31)), since(31));
    EXPECT_EQ(reason(status(BoardState::Lost, "d", 1, 2)), since(2));
    // Found again: the board's record is fresh, but the observation is from
    // before the outage until the first new record is processed.
    EXPECT_EQ(reason(status(BoardState::Live, "d", 1, 1), 37), since(37));
    EXPECT_EQ(reason(status(BoardState::Absent, "d", 1)), "no live reading yet");
    // Live with no record yet is not fresh: nothing has been read.
    EXPECT_EQ(reason(status(BoardState::Live, "d", 1)), "no live reading yet");
    EXPECT_EQ(reason(status(BoardState::Simulated, "d", 1)), "no live reading yet");
}

TEST(BoardTrackerTest, QuietTimeRestartsWithEveryStateAndSimulatorRecordsAreNotLive)
{
    QDateTime now = kNow;
    BoardTracker tracker([&now] { return now; }, {});
    tracker.recordAccepted("/dev/ttyUSB0");
    EXPECT_EQ(tracker.state(), BoardState::Live);
    now = kNow.addSecs(5);
    tracker.enter(BoardState::Lost, "/dev/ttyUSB0", "Input/output error");
    EXPECT_EQ(tracker.secondsWithoutRecord(), 0);
    // Plugged in again a minute later: the quiet time counts from the reconnect, not the old record.
    now = kNow.addSecs(65);
    tracker.enter(BoardState::Searching, "/dev/ttyUSB0", "device chosen in the setup dialog");
    now = kNow.addSecs(66);
    EXPECT_EQ(tracker.secondsWithoutRecord(), 1);
    now = kNow.addSecs(70);
    tracker.recordAccepted("/dev/ttyUSB0");
    now = kNow.addSecs(73);
    EXPECT_EQ(tracker.secondsWithoutRecord(), 3);

    BoardTracker simulated([&now] { return now; }, {});
    simulated.setSimulated(true);
    simulated.recordAccepted("/dev/pts/7");
    EXPECT_EQ(simulated.state(), BoardState::Simulated);
    EXPECT_EQ(simulated.status().lastRecord, now);
}

TEST(ReconnectBackoff, DoublesFromOneSecondUpToThirty)
{
    ReconnectBackoff b;
    EXPECT_FALSE(b.running());
    b.start(kNow);
    EXPECT_FALSE(b.due(kNow));
    EXPECT_TRUE(b.due(kNow.addSecs(1)));
    std::vector<int> delays;
    for (int k = 0; k < 7; ++k) {
        b.failed(kNow);
        delays.push_back(b.delaySeconds());
    }
    EXPECT_EQ(delays, (std::vector<int>{2, 4, 8, 16, 30, 30, 30}));
}

// The link on the fake port, with the clock in the test's hand.
class BoardStateLink : public StationFixture {
protected:
    QDateTime clock = QDateTime::currentDateTimeUtc();
    std::vector<BoardStatus> told;

    void SetUp() override
    {
        StationFixture::SetUp();
        ctx.utcClock = [this] { return clock; };
        ctx.boardChanged = [this](const BoardStatus &b) { told.push_back(b); };
        settings().StaleAfterSeconds = 30;
    }
    void after(int seconds)
    {
        clock = clock.addSecs(seconds);
        cycle.run();
    }
};

TEST_F(BoardStateLink, LostOnAPortErrorThenTriedWithBackOffAndEverythingSentAgain)
{
    connectBoard(kTestRecord);
    cycle.run();
    ASSERT_EQ(link.board().state, BoardState::Live);
    EXPECT_TRUE(port.sentText().contains(":ST080")); // the offset went out once

    port.transmitsBeforeFailure = 0; // the adapter is pulled
    after(1);
    EXPECT_EQ(link.board().state, BoardState::Lost);
    EXPECT_FALSE(port.connected());
    EXPECT_EQ(link.board().reason, "no such device");

    // Lost: the last good record stays in hand, marked stale.
    std::vector<Observation> seen;
    cycle.addObserver([&](const Observation &o) { seen.push_back(o); });
    port.openSucceeds = false;
    port.transmitsBeforeFailure = -1;
    cycle.run(); // within the first second: no try
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].source, ObservationSource::Stale);
    const int clearsBefore = port.clears;
    after(1); // the first try: the device is still gone
    EXPECT_EQ(link.board().state, BoardState::Lost);
    after(1); // the next one waits 2 s
    after(1);
    EXPECT_EQ(port.clears, clearsBefore); // a failed open never reaches the buffers

    port.openSucceeds = true;
    port.clearLog();
    port.answers = {{PortResult::Ok, QStringLiteral("W")}};
    after(4);
    EXPECT_EQ(link.board().state, BoardState::Live);
    EXPECT_TRUE(port.sentText().startsWith(QString("#") + QChar(6) + "pp:F"));
    EXPECT_TRUE(port.sentText().contains(":ST080")); // a board that restarted hears its settings again
    EXPECT_EQ(seen.back().source, ObservationSource::Live);
    std::vector<BoardState> states; // the changes; a failed try only renews the reason
    for (const BoardStatus &b : told)
        if (states.empty() || states.back() != b.state)
            states.push_back(b.state);
    EXPECT_EQ(told[2].reason, "cannot open /dev/fake0: no such device");
    EXPECT_EQ(states, (std::vector<BoardState>{BoardState::Live, BoardState::Lost, BoardState::Live}));
}

TEST_F(BoardStateLink, SilentAfterStaleAfterSecondsAndLiveWithTheNextRecord)
{
    connectBoard(kTestRecord);
    cycle.run();
    port.standingAnswer.reset(); // nothing more comes
    std::vector<Observation> seen;
    cycle.addObserver([&](const Observation &o) { seen.push_back(o); });
    after(29);
    EXPECT_EQ(link.board().state, BoardState::Live);
    EXPECT_EQ(seen.back().source, ObservationSource::Reprocessed);
    after(1);
    EXPECT_EQ(link.board().state, BoardState::Silent);
    EXPECT_EQ(seen.back().source, ObservationSource::Stale);

    port.standingAnswer = FakeStationPort::Answer{PortResult::Ok, kTestRecord};
    port.answers = {{PortResult::Ok, QStringLiteral("W")}};
    after(1); // the try reopens, probes and reads
    EXPECT_EQ(link.board().state, BoardState::Live);
}

TEST_F(BoardStateLink, TheSetupDialogsDeviceChoiceIsTriedAtOnce)
{
    port.openSucceeds = false;
    link.boardSearch();
    ASSERT_EQ(link.board().state, BoardState::Absent);
    port.openSucceeds = true;
    port.answers = {{PortResult::Ok, QStringLiteral("W")}, {PortResult::Ok, kTestRecord}};
    link.deviceChoiceConfirmed();
    cycle.run(); // no back-off wait
    EXPECT_EQ(link.board().state, BoardState::Live);
    link.deviceChoiceConfirmed(); // the same device, delivering: nothing to do
    port.clearLog();
    cycle.run();
    EXPECT_FALSE(port.sentText().contains(QChar(6)));
}

} // namespace
