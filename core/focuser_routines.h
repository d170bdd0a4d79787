// Focuser-side routines of the start-up module: the state refresh after
// start-up and setup, the motion hook, and the save at exit.
#pragma once

#include <cstdint>

void RefreshFocuserState();
// The hardware hook of temperature compensation. No motor is driven: it does nothing.
void MoveFocuserTo(int32_t target);
void SaveOnExit();

// The utility object: only its default property exists, and only SaveOnExit sets it.
struct DriverHelperUtil {
    int16_t value = 0;
};
DriverHelperUtil &driverHelperUtil();
