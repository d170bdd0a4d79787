// Block-average windows over whole cycles: slots 1..300, never cleared, a
// window overwrites slots 1..N and its mean is taken when slot N is filled.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <stdexcept>

constexpr int kMaxWindow = 300;

// A step of the cycle that cannot go on; the cycle's recovery handles it.
class CycleFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class SampleWindow {
public:
    // Throws CycleFailure for a slot outside 1..300.
    void store(int slot, double value);
    double slot(int k) const { return m_slots.at(k); }
    // Mean of slots 1..count (1..300).
    double mean(int count) const;

private:
    std::array<double, kMaxWindow + 1> m_slots{}; // slot 0 unused
};

// Brings a window size loaded from the profile or typed in into 1..300.
// Returns the message for the user, or an empty text when it was in range.
QString limitWindowSize(int32_t &size, const QString &settingName);
