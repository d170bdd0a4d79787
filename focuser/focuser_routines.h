// Focuser-side routines of start-up and shutdown: the state refresh after
// start-up and setup, the motion hook, and the save at exit.
#pragma once

#include <cstdint>

struct FocuserContext;

void RefreshFocuserState(FocuserContext &focuser);
// The hardware hook of temperature compensation. No motor is driven: it does nothing.
void MoveFocuserTo(FocuserContext &focuser, int32_t target);
// False (said on standard error) when a value did not reach the profile.
bool SaveOnExit(FocuserContext &focuser);
