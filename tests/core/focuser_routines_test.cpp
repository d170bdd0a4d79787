#include "core/focuser_routines.h"
#include "core/program.h"

#include <gtest/gtest.h>

class FocuserRoutines : public ::testing::Test {
protected:
    void SetUp() override { resetProgram(); }
    void TearDown() override { resetProgram(); }
};

TEST_F(FocuserRoutines, AbsolutePositionIsLimitedRelativeIsNot)
{
    Settings &s = prog().settings;
    s.WindSpeedCloseD = 1000;
    s.Position = 1500;
    RefreshFocuserState();
    EXPECT_EQ(s.Position, 1000);
    s.Position = -5;
    RefreshFocuserState();
    EXPECT_EQ(s.Position, 0);
    s.WindSpeedCloseD = 16.5;
    s.Position = 20;
    RefreshFocuserState();
    EXPECT_EQ(s.Position, 16); // halves to even
    // Both limits apply in turn: a negative maximum wins over the floor of 0.
    s.WindSpeedCloseD = -3;
    s.Position = -5;
    RefreshFocuserState();
    EXPECT_EQ(s.Position, -3);

    s.Absolute = false;
    s.Position = 1500;
    RefreshFocuserState();
    EXPECT_EQ(s.Position, 1500);
    s.Position = -5;
    RefreshFocuserState();
    EXPECT_EQ(s.Position, -5);
}

TEST_F(FocuserRoutines, MissingCapabilityTurnsTemperatureProcessingOff)
{
    prog().settings.CanTemp = false;
    RefreshFocuserState();
    EXPECT_FALSE(prog().weather.TempEnabled);
}

TEST_F(FocuserRoutines, MoveFocuserToChangesNothing)
{
    prog().settings.Position = 42;
    MoveFocuserTo(1040);
    MoveFocuserTo(-7);
    EXPECT_EQ(prog().settings.Position, 42);
    EXPECT_FALSE(prog().Moving);
}
