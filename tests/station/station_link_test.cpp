// The board conversation over the fake port: exact bytes and their order,
// acceptance and re-polling, the once-per-cycle recovery, and the search.
#include "core/settings.h"
#include "station_fixture.h"
#include "temp_profile.h"

#include <algorithm>

namespace {
const QString kFlagsAllOn = withField(withField(withField(withField(kTestRecord, 69, "1"), 79, "1"), 89, "1"), 94, "1");
} // namespace

class CommandStep : public StationFixture {
protected:
    void SetUp() override
    {
        StationFixture::SetUp();
        port.isOpen = true;
        // Settings equal to what the board already has: only requests travel.
        link.commandStep();
        port.clearLog();
        waits.clear();
    }
};

TEST_F(CommandStep, FirstConnectedCycleSendsEveryNonZeroSettingOneCharacterAtATime)
{
    FakeStationPort fresh;
    fresh.isOpen = true;
    StationLink freshLink(fresh, ctx);
    ASSERT_TRUE(freshLink.commandStep());
    EXPECT_EQ(fresh.sentText(), QStringLiteral(":Sh20:ST080:SW300:SR400:SL950:SC122:SM3:Sd060"));
    for (const QString &t : fresh.transmits)
        EXPECT_EQ(t.size(), 1) << qPrintable(t);
    EXPECT_EQ(waits.size(), size_t(fresh.transmits.size()));
    EXPECT_TRUE(std::all_of(waits.begin(), waits.end(), [](int ms) { return ms == 20; }));
}

TEST_F(CommandStep, ForceWithAllowSentDiffering)
{
    weather().HeaterForce = 1;
    weather().HeaterAllow = 0;
    weather().HeaterAllowSent = 1;
    ASSERT_TRUE(link.commandStep());
    EXPECT_EQ(port.sentText(), QStringLiteral(":AH0:SH1:AH0"));
    EXPECT_EQ(weather().HeaterForce, 0);
    EXPECT_EQ(weather().HeaterAllowSent, 0);

    port.clearLog();
    weather().HeaterForce = 2;
    weather().HeaterAllow = 1;
    weather().RelayForce = 1;
    weather().RelayAllow = 0;
    weather().RelayAllowSent = 1;
    weather().LightAllow = 1;
    weather().WindAllowSent = 1;
    ASSERT_TRUE(link.commandStep());
    EXPECT_EQ(port.sentText(), QStringLiteral(":SH0:AH1:AR0:Sr1:AR0:AL1:AW0"));
    ASSERT_TRUE(link.commandStep());
    EXPECT_EQ(port.sentText(), QStringLiteral(":SH0:AH1:AR0:Sr1:AR0:AL1:AW0")); // nothing left pending
}

TEST_F(CommandStep, SettingTextsAndTheMultipliersSingleTransmit)
{
    settings().TPTempOffset = 12.5;
    settings().WindThreshold = 1234;
    settings().TPTempHysteresis = 0.96;
    settings().WindMultiplier = 12;
    ASSERT_TRUE(link.commandStep());
    EXPECT_EQ(port.sentText(), QStringLiteral(":Sh00:ST125:SW234:SM12"));
    EXPECT_EQ(port.transmits.last(), QStringLiteral("12"));
    port.clearLog();
    settings().WindMultiplier = 5;
    ASSERT_TRUE(link.commandStep());
    EXPECT_EQ(port.sentText(), QStringLiteral(":SM5"));
}

TEST_F(CommandStep, DisconnectedConsumesRequestsAndSettingsWithoutSending)
{
    port.isOpen = false;
    weather().HeaterForce = 1;
    weather().LightAllow = 1;
    settings().RainThreshold = 555;
    ASSERT_TRUE(link.commandStep());
    EXPECT_TRUE(port.transmits.isEmpty());
    EXPECT_EQ(weather().HeaterForce, 0);
    EXPECT_EQ(weather().LightAllowSent, 1);
    EXPECT_EQ(link.sentSettings().RainThresholdSent, 555);
}

TEST_F(CommandStep, ClickDuringASendIsPickedUpByALaterCheck)
{
    weather().HeaterForce = 2;
    bool clicked = false;
    ctx.pause = [&](int) {
        if (!clicked) {
            clicked = true;
            weather().RelayForce = 2; // the user clicks while ":SH0" goes out
        }
    };
    ASSERT_TRUE(link.commandStep());
    EXPECT_EQ(port.sentText(), QStringLiteral(":SH0:Sr0"));
}

TEST_F(CommandStep, PortFailureEndsTheCycleBeforeThePoll)
{
    connectBoard(kTestRecord);
    weather().HeaterForce = 2;
    port.transmitsBeforeFailure = 1;
    cycle.run();
    EXPECT_EQ(port.receives, 0);
    EXPECT_EQ(weather().RainReading, 0); // nothing processed
}

using Poll = StationFixture;

TEST_F(Poll, PollBytesAndWaits)
{
    connectBoard(kTestRecord);
    link.commandStep();
    port.clearLog();
    waits.clear();
    cycle.run();
    EXPECT_EQ(port.transmits, (QStringList{":", "F"}));
    ASSERT_GE(waits.size(), 3u);
    EXPECT_EQ(std::vector<int>(waits.begin(), waits.begin() + 3), (std::vector<int>{20, 80, 20}));
    EXPECT_EQ(weather().RainReading, 321);
}

TEST_F(Poll, ShortAndWrongTerminatorAnswersArePolledAgain)
{
    const QString good = withField(kTestRecord, 21, "0500");
    connectBoard(good);
    port.answers = {{PortResult::Ok, kTestRecord.left(105)},
                    {PortResult::Ok, kTestRecord.left(105) + QLatin1Char('x')}};
    cycle.run();
    EXPECT_EQ(port.receives, 3);
    EXPECT_EQ(weather().StationRecord, good);
    EXPECT_EQ(weather().RainReading, 500);
}

TEST_F(Poll, TimeOutProcessesTheLastGoodRecordAgain)
{
    connectBoard(withField(kTestRecord, 21, "0500"));
    cycle.run();
    port.standingAnswer.reset(); // the board goes quiet
    weather().RainReading = 0;
    cycle.run();
    EXPECT_EQ(port.receives, 2);
    EXPECT_EQ(weather().RainReading, 500);
}

TEST_F(Poll, GarbageNeverReplacesTheLastGoodRecord)
{
    connectBoard(withField(kTestRecord, 21, "0500"));
    cycle.run();
    port.standingAnswer.reset();
    port.answers = {{PortResult::Ok, QStringLiteral("garbage#")}, {PortResult::TimedOut, QString()}};
    weather().RainReading = 0;
    cycle.run();
    EXPECT_EQ(weather().RainReading, 500);
}

TEST_F(Poll, EndlessBadAnswersEndTheCycleAfterFivePolls)
{
    connectBoard(kTestRecord.left(50) + QLatin1Char('#'));
    cycle.run();
    EXPECT_EQ(port.receives, StationLink::kMaxPolls);
    EXPECT_EQ(weather().RainReading, 0);
}

TEST_F(Poll, ASecondFailureEndsTheCycle)
{
    // Accepted, but its rain field is not a number: fails, is checked and
    // processed once more, fails again, and the cycle ends.
    connectBoard(withField(kTestRecord, 21, "03x1"));
    int processed = 0;
    ctx.alerts = [&](AlertKind, bool) { ++processed; };
    cycle.run();
    EXPECT_EQ(port.receives, 1);
    EXPECT_EQ(processed, 0);
    // The next tick starts afresh with a good record.
    port.standingAnswer = FakeStationPort::Answer{PortResult::Ok, kTestRecord};
    cycle.run();
    EXPECT_EQ(weather().RainReading, 321);
}

TEST_F(Poll, RecoveryRunsTheEarlierStepsTwice)
{
    // The wind field fails at the last step; rain, cloud and light run twice.
    connectBoard(withField(kTestRecord, 30, "00?0"));
    cycle.run();
    const auto rain = std::count_if(alerts.begin(), alerts.end(), [](auto &a) { return a.first == AlertKind::Rain; });
    EXPECT_EQ(rain, 2);
    EXPECT_EQ(port.receives, 1);
}

TEST_F(Poll, ATickWhileThePortIsInUseDoesNothing)
{
    connectBoard(kTestRecord);
    link.commandStep();
    port.clearLog();
    int nested = 0;
    ctx.pause = [&](int) {
        if (nested++ == 0)
            cycle.run(); // the timer fires inside this cycle's first wait
    };
    cycle.run();
    EXPECT_EQ(port.transmits, (QStringList{":", "F"}));
    EXPECT_EQ(port.receives, 1);
}

class BoardSearch : public StationFixture {
protected:
    TempProfile profile;
    std::vector<bool> timerAtMessage;

    void SetUp() override
    {
        StationFixture::SetUp();
        prog().profile = profile.store.get();
        ctx.profile = profile.store.get();
        setMessageHandler([this](const Message &m) {
            messages << m.text;
            timerAtMessage.push_back(handBox.timerEnabled());
        });
    }
};

TEST_F(BoardSearch, EmptyPortBecomesTwoAndAMissingDeviceGivesTheOpenMessage)
{
    port.openSucceeds = false;
    link.boardSearch();
    EXPECT_EQ(profile.store->value(kDriverId, kComPortKey), QStringLiteral("2"));
    EXPECT_EQ(messages, (QStringList{"Looking for Weather serial on Com Port = 2\non /dev/fake0",
                                     "Could not open Weather serial on Com Port = 2\n"
                                     "cannot open /dev/fake0: no such device"}));
    EXPECT_EQ(link.board().state, BoardState::Absent);
    EXPECT_EQ(timerAtMessage, (std::vector<bool>{false, true}));
    EXPECT_EQ(port.portNumber, 2);
    // The program goes on with the test record.
    cycle.run();
    EXPECT_EQ(field(HandBoxField::RH), QStringLiteral("73"));
}

TEST_F(BoardSearch, ProbeSequenceAndFlagsFromTheFirstRecord)
{
    profile.store->writeValue(kDriverId, kComPortKey, QStringLiteral("3"));
    port.answers = {{PortResult::Ok, QStringLiteral("W")}, {PortResult::Ok, kFlagsAllOn}};
    link.boardSearch();
    EXPECT_EQ(port.portNumber, 3);
    EXPECT_EQ(port.speed, 9600);
    EXPECT_EQ(port.timeout, 4);
    EXPECT_EQ(port.transmits, (QStringList{"#", QString(QChar(6)), "p", "p", ":", "F"}));
    EXPECT_EQ(messages, QStringList{"Looking for Weather serial on Com Port = 3\non /dev/fake0"});
    EXPECT_EQ(link.board().state, BoardState::Live);
    EXPECT_TRUE(handBox.timerEnabled());

    EXPECT_EQ(weather().StartHeaterAllowed, 1);
    EXPECT_EQ(weather().StartRelayAllowed, 1);
    EXPECT_EQ(weather().StartWindAllowed, 1);
    EXPECT_EQ(weather().StartLightAllowed, 1);
    EXPECT_EQ(handBox.checkState(HandBoxField::AllowHeater), 1);
    EXPECT_EQ(handBox.checkState(HandBoxField::AllowRelay), 1);
    EXPECT_EQ(handBox.checkState(HandBoxField::AllowLight), 1);
    EXPECT_EQ(handBox.checkState(HandBoxField::AllowWind), 1);
    // The boxes' handlers ran: the first cycle switches the forcing off.
    port.clearLog();
    link.commandStep();
    EXPECT_TRUE(port.sentText().startsWith(QStringLiteral(":SH0:Sr0")));
}

TEST_F(BoardSearch, HeaterOnWithoutAutomaticIsForcedOn)
{
    port.answers = {{PortResult::Ok, QStringLiteral("W")}, {PortResult::Ok, withField(kTestRecord, 74, "1")}};
    link.boardSearch();
    EXPECT_EQ(handBox.checkState(HandBoxField::ForceHeater), 1);
    EXPECT_EQ(weather().HeaterForce, 1);
    EXPECT_EQ(weather().HeaterAllowSent, 1);
}

TEST_F(BoardSearch, LightAndWindFlagsLandOnTheirOwnBoxes)
{
    // AL=1 with AW=0, then the other way round.
    port.answers = {{PortResult::Ok, QStringLiteral("W")}, {PortResult::Ok, withField(kTestRecord, 94, "1")}};
    link.boardSearch();
    EXPECT_EQ(weather().StartLightAllowed, 1);
    EXPECT_EQ(weather().StartWindAllowed, 0);
    EXPECT_EQ(handBox.checkState(HandBoxField::AllowLight), 1);
    EXPECT_EQ(handBox.checkState(HandBoxField::AllowWind), 0);
    EXPECT_EQ(weather().LightAllow, 1);
    EXPECT_EQ(weather().WindAllow, 0);

    port.answers = {{PortResult::Ok, QStringLiteral("W")}, {PortResult::Ok, withField(kTestRecord, 89, "1")}};
    link.boardSearch();
    EXPECT_EQ(weather().StartLightAllowed, 0);
    EXPECT_EQ(weather().StartWindAllowed, 1);
    EXPECT_EQ(handBox.checkState(HandBoxField::AllowLight), 0);
    EXPECT_EQ(handBox.checkState(HandBoxField::AllowWind), 1);
    EXPECT_EQ(weather().LightAllow, 0);
    EXPECT_EQ(weather().WindAllow, 1);
}

TEST_F(BoardSearch, ABoardThatAnswersTheProbeButSendsNoRecordTurnsSilent)
{
    QDateTime now = QDateTime::currentDateTimeUtc(); // the link was made a moment ago
    ctx.utcClock = [&now] { return now; };
    settings().StaleAfterSeconds = 5;
    port.answers = {{PortResult::Ok, QStringLiteral("W")}}; // every poll after it times out
    link.boardSearch();
    EXPECT_EQ(link.board().state, BoardState::Searching);
    now = now.addSecs(4);
    link.superviseBoard();
    EXPECT_EQ(link.board().state, BoardState::Searching);
    now = now.addSecs(1);
    link.superviseBoard();
    EXPECT_EQ(link.board().state, BoardState::Silent);
    EXPECT_TRUE(link.nextBoardTry().isValid()); // and it is tried again
}

TEST_F(BoardSearch, FirstPollTimeOutTakesTheTestRecordsFlags)
{
    handBox.setCheckState(HandBoxField::AllowLight, 1);
    handBox.setCheckState(HandBoxField::AllowWind, 1);
    port.answers = {{PortResult::Ok, QStringLiteral("W")}, {PortResult::TimedOut, QString()}};
    link.boardSearch();
    EXPECT_EQ(handBox.checkState(HandBoxField::AllowLight), 0);
    EXPECT_EQ(handBox.checkState(HandBoxField::AllowWind), 0);
    EXPECT_EQ(weather().LightAllow, 0);
    EXPECT_EQ(weather().LightAllowSent, 1);
    EXPECT_EQ(weather().StartHeaterOn, 0);
}

TEST_F(BoardSearch, WrongProbeAnswerAndSilence)
{
    port.answers = {{PortResult::Ok, QStringLiteral("?")}};
    link.boardSearch();
    EXPECT_EQ(messages.last(), QStringLiteral("Weather serial not found on Com Port = 2\nopened /dev/fake0, but it "
                                              "answered the probe with \"?\", not a sensor board's \"W\""));
    EXPECT_FALSE(port.connected());

    messages.clear();
    port.answers.clear(); // opens, but nothing answers the probe
    link.boardSearch();
    EXPECT_EQ(messages.last(),
              QStringLiteral("Could not open Weather serial on Com Port = 2\nopened /dev/fake0, but no board answered the probe"));
    EXPECT_FALSE(port.connected());
    EXPECT_EQ(link.board().state, BoardState::Absent);
}

TEST_F(BoardSearch, TicksDuringTheSearchDoNotTouchThePort)
{
    port.answers = {{PortResult::Ok, QStringLiteral("W")}, {PortResult::Ok, kTestRecord}};
    ctx.pause = [&](int) { cycle.run(); };
    link.boardSearch();
    EXPECT_EQ(port.transmits, (QStringList{"#", QString(QChar(6)), "p", "p", ":", "F"}));
}
