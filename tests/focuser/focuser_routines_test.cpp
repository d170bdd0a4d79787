#include "focuser/focuser_routines.h"
#include "app/program.h"
#include "focuser/focuser_context.h"
#include "station/weather_state.h"

#include <gtest/gtest.h>

class FocuserRoutines : public ::testing::Test {
protected:
    WeatherState weather;
    FocuserContext focuser{weather, prog().settings};
    void SetUp() override { resetProgram(); }
    void TearDown() override { resetProgram(); }
};

TEST_F(FocuserRoutines, AbsolutePositionIsLimitedRelativeIsNot)
{
    Settings &s = prog().settings;
    s.WindSpeedCloseD = 1000;
    s.Position = 1500;
    RefreshFocuserState(focuser);
    EXPECT_EQ(s.Position, 1000);
    s.Position = -5;
    RefreshFocuserState(focuser);
    EXPECT_EQ(s.Position, 0);
    s.WindSpeedCloseD = 16.5;
    s.Position = 20;
    RefreshFocuserState(focuser);
    EXPECT_EQ(s.Position, 16); // halves to even
    // Both limits apply in turn: a negative maximum wins over the floor of 0.
    s.WindSpeedCloseD = -3;
    s.Position = -5;
    RefreshFocuserState(focuser);
    EXPECT_EQ(s.Position, -3);

    s.Absolute = false;
    s.Position = 1500;
    RefreshFocuserState(focuser);
    EXPECT_EQ(s.Position, 1500);
    s.Position = -5;
    RefreshFocuserState(focuser);
    EXPECT_EQ(s.Position, -5);
}

TEST_F(FocuserRoutines, MissingCapabilityTurnsTemperatureProcessingOff)
{
    prog().settings.CanTemp = false;
    RefreshFocuserState(focuser);
    EXPECT_FALSE(weather.TempEnabled);
}

TEST_F(FocuserRoutines, MoveFocuserToChangesNothing)
{
    prog().settings.Position = 42;
    MoveFocuserTo(focuser, 1040);
    MoveFocuserTo(focuser, -7);
    EXPECT_EQ(prog().settings.Position, 42);
    EXPECT_FALSE(focuser.Moving);
}
