// Focuser position outside the Focuser members: the setup dialog's
// "Reset Position" button.
#pragma once

#include <cstdint>
#include <optional>

struct Settings;

// The position after a reset: 0 for a relative focuser, half the maximum step
// (rounded halves to even) for an absolute one. Empty when half the maximum
// does not fit a 32-bit position.
std::optional<int32_t> resetPositionValue(bool absoluteSelected, double maxStepField);

// Applies the reset to the position setting; returns false (and changes
// nothing) when the value does not fit.
bool ResetPosition(Settings &settings, bool absoluteSelected, double maxStepField);
