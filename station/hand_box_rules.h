// Hand-box rules shared by the watch model and the test doubles: the switch
// boxes' handlers (Allow and Force exclude each other for the heater and the
// relay), the rain indicator's colour and the ambient's read-back.
#pragma once

#include "core/hand_box_field.h"

#include <cstdint>

class HandBoxApi;
struct WeatherState;

// Runs the handler of a switch box (AllowHeater, ForceHeater, AllowRelay,
// ForceRelay, AllowLight, AllowWind) after its state changed: sets the board
// requests in `w`, and may clear the partner box (whose own handler then
// runs). False for any other field.
bool runSwitchBoxHandler(HandBoxApi &box, WeatherState &w, HandBoxField field);

// Red while the reading is above the threshold, else green.
uint32_t rainIndicatorColor(int rainReading, int rainThreshold);

// The ambient as shown in "TPTemp", read back to a whole degree (halves to
// even), since the cycle computes with the rounding the user sees; an empty
// box reads 0 and is filled with "200"; a text that is not a number throws
// ConversionError.
double readBackAmbient(HandBoxApi &box);
