// Hand-box rules shared by the window, the in-memory hand box and the test
// fakes: the switch boxes' handlers (Allow and Force exclude each other for
// the heater and the relay) and the rain indicator's colour.
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
