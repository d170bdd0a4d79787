// The compensation step: arithmetic, the order of moves and reports, and what
// do_tempcomp leaves behind.
#include "app/program.h"
#include "station/weather_state.h"
#include "fake_hand_box.h"
#include "focuser/compensation.h"
#include "focuser/focuser.h"
#include "focuser/focuser_error.h"
#include "windows/traffic_setup.h"
#include "focuser/motion.h"
#include "windows/traffic_window.h"

#include <QCheckBox>
#include <gtest/gtest.h>

namespace {
CompensationInput example(double windSpeed)
{
    CompensationInput in;
    in.lastComp = 10.0;
    in.windSpeed = windSpeed;
    in.tempMax = 1.5;
    in.tempSteps = 30;
    in.position = 1000;
    in.canTempComp = true;
    in.backlashComp = 20;
    return in;
}

std::vector<int32_t> moves(const CompensationPlan &plan)
{
    std::vector<int32_t> out;
    for (const auto &a : plan.actions) {
        if (a.kind == CompensationAction::Kind::Move)
            out.push_back(a.target);
    }
    return out;
}

QStringList reports(const CompensationPlan &plan)
{
    QStringList out;
    for (const auto &a : plan.actions) {
        if (a.kind == CompensationAction::Kind::Report)
            out << a.text;
    }
    return out;
}
} // namespace

TEST(Compensation, RisingValueMovesByStepsPerThreshold)
{
    const CompensationPlan plan = planCompensation(example(12.0));
    EXPECT_TRUE(plan.compensated);
    EXPECT_EQ(moves(plan), std::vector<int32_t>{1040});
    EXPECT_EQ(reports(plan), QStringList{"Timer Temp Comp final move to 1040 inc = 40"});
    EXPECT_EQ(compensationOpening(10, 12), "Temperture API do_tempcomp:  lastcomp= 10.0 avg= 12.0");
}

TEST(Compensation, NoStepAtTheThresholdWithoutCapabilityOrWithoutReading)
{
    EXPECT_FALSE(planCompensation(example(11.5)).compensated); // difference equals TempMax
    CompensationInput off = example(12.0);
    off.canTempComp = false;
    EXPECT_FALSE(planCompensation(off).compensated);
    CompensationInput noReading = example(-99);
    EXPECT_FALSE(planCompensation(noReading).compensated);
    EXPECT_TRUE(planCompensation(example(-99)).actions.empty());
}

TEST(Compensation, BacklashTakeUpOnlyForItsDirection)
{
    CompensationInput falling = example(10.0 - 1.5 * 4 / 3); // inc -40 -> T 960
    falling.synchronous = true;
    falling.backlashDir = true;
    CompensationPlan plan = planCompensation(falling);
    EXPECT_EQ(moves(plan), (std::vector<int32_t>{940, 960}));
    EXPECT_EQ(reports(plan).value(0), "Temperture Compensation backlash endpoint=960 inc = 20 Backup up to = 940");

    CompensationInput rising = example(12.0);
    rising.synchronous = true;
    rising.backlashDir = true;
    EXPECT_EQ(moves(planCompensation(rising)), std::vector<int32_t>{1040});

    rising.backlashDir = false;
    plan = planCompensation(rising);
    EXPECT_EQ(moves(plan), (std::vector<int32_t>{1060, 1040}));
    EXPECT_EQ(reports(plan).value(0), "Temperture Compensation backlash endpoint = 1040 inc = 20 Forward to = 1060");

    // No steps per threshold: an increment of 0 counts as forward.
    CompensationInput still = example(12.0);
    still.synchronous = true;
    still.tempSteps = 0;
    EXPECT_EQ(moves(planCompensation(still)), (std::vector<int32_t>{1020, 1000}));
    still.backlashDir = true;
    EXPECT_EQ(moves(planCompensation(still)), std::vector<int32_t>{1000});
}

TEST(Compensation, TargetsRoundHalvesToEven)
{
    CompensationInput in;
    in.canTempComp = true;
    in.tempMax = 1;
    in.tempSteps = 1;
    in.windSpeed = 2.5;
    EXPECT_EQ(moves(planCompensation(in)), std::vector<int32_t>{2});
    in.windSpeed = 3.5;
    EXPECT_EQ(moves(planCompensation(in)), std::vector<int32_t>{4});

    // From an odd position the whole target is rounded, not the increment.
    in.position = 1001;
    in.windSpeed = 1.5; // 1002.5
    CompensationPlan plan = planCompensation(in);
    EXPECT_EQ(moves(plan), std::vector<int32_t>{1002});
    EXPECT_EQ(reports(plan), QStringList{"Timer Temp Comp final move to 1002 inc = 2"});
    in.windSpeed = 2.5; // 1003.5
    EXPECT_EQ(moves(planCompensation(in)), std::vector<int32_t>{1004});
    in.windSpeed = -1.5; // 999.5
    plan = planCompensation(in);
    EXPECT_EQ(moves(plan), std::vector<int32_t>{1000});
    EXPECT_EQ(reports(plan), QStringList{"Timer Temp Comp final move to 1000 inc = -2"});
}

TEST(Compensation, OverflowAndZeroThresholdRaiseBeforeAnyMove)
{
    CompensationInput in = example(12.0);
    in.tempSteps = 2000000000;
    EXPECT_THROW(planCompensation(in), FocuserError);
    in = example(12.0);
    in.synchronous = true;
    in.backlashDir = false;
    in.position = 2147483647 - 40;
    try {
        planCompensation(in); // the end point lies beyond the 32-bit range
        FAIL();
    } catch (const FocuserError &e) {
        EXPECT_EQ(e.number(), ErrOverflow);
    }
    in = example(12.0);
    in.tempMax = 0;
    try {
        planCompensation(in);
        FAIL();
    } catch (const FocuserError &e) {
        EXPECT_EQ(e.number(), ErrDivisionByZero);
    }
}

class DoTempComp : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetProgram();
        context.handBox = &handBox;
        context.drive = [this](int32_t t) { targets.push_back(t); };
        context.traffic = &trafficFor;
        Settings &s = prog().settings;
        s.TempMax = 1.5;
        s.TempSteps = 30;
        s.Position = 1000;
        s.Synchronous = false;
        context.LastComp = 10.0;
    }
    void TearDown() override
    {
        unloadTrafficWindow(prog().TrafficWindow);
        resetProgram();
    }
    WeatherState weather;
    FocuserContext context{weather, prog().settings};
    FakeHandBox handBox;
    std::vector<int32_t> targets;
    Focuser focuser{context, Focuser::Lifetime::Uncounted};
};

TEST_F(DoTempComp, StepUpdatesLastCompAndTheHandBoxAndReportsWhenAsked)
{
    showTrafficWindow(prog().TrafficWindow);
    auto *w = dynamic_cast<TrafficWindow *>(prog().TrafficWindow);
    w->groupBox(TrafficGroup::TempRelated)->setChecked(true);
    weather.WindSpeed = 12.0;
    focuser.do_tempcomp();
    EXPECT_EQ(targets, std::vector<int32_t>{1040});
    EXPECT_EQ(context.LastComp, 12.0);
    EXPECT_EQ(prog().settings.Position, 1000);
    EXPECT_EQ(handBox.windsAvg, std::vector<double>{12.0});
    EXPECT_EQ(w->log().text(), "Temperture API do_tempcomp:  lastcomp= 10.0 avg= 12.0\r\n"
                               "Timer Temp Comp final move to 1040 inc = 40\r\n");
}

TEST_F(DoTempComp, NoStepStillShowsTheValueAndErrorsLeaveStateAlone)
{
    weather.WindSpeed = 11.5;
    focuser.do_tempcomp();
    EXPECT_TRUE(targets.empty());
    EXPECT_EQ(context.LastComp, 10.0);
    EXPECT_EQ(handBox.windsAvg, std::vector<double>{11.5});

    prog().settings.TempMax = 0;
    EXPECT_THROW(focuser.do_tempcomp(), FocuserError);
    EXPECT_EQ(context.LastComp, 10.0);
    EXPECT_EQ(handBox.windsAvg.size(), 1u);
}

TEST(PositionReset, RelativeGoesToZeroAbsoluteToHalfTheMaximum)
{
    resetProgram();
    prog().settings.Position = 77;
    EXPECT_TRUE(ResetPosition(prog().settings, false, 1000));
    EXPECT_EQ(prog().settings.Position, 0);
    EXPECT_TRUE(ResetPosition(prog().settings, true, 5));
    EXPECT_EQ(prog().settings.Position, 2); // 2.5 halves to even
    EXPECT_TRUE(ResetPosition(prog().settings, true, 7));
    EXPECT_EQ(prog().settings.Position, 4);
    EXPECT_FALSE(ResetPosition(prog().settings, true, 1e12));
    EXPECT_EQ(prog().settings.Position, 4);
    resetProgram();
}
