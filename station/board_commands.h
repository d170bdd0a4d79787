// The texts of the board's commands and setting requests. Each entry of a
// returned list is one transmit; the link waits after every one of them.
#pragma once

#include <QString>
#include <QStringList>

struct WeatherState;
struct Settings;

// Whole-number digits: Int is the floor of the real quotient, Round goes
// halves to even, and mod keeps the sign of the dividend.
QString hysteresisDigits(double v);   // two: Int(v) mod 10, Round(v*10) mod 10
QString offsetDigits(double v);       // three: Int(v/10), Int(v), Round(v*10), each mod 10
QString thresholdDigits(double v);    // three: Int(v/100), Int(v/10), v, each mod 10

// The value last sent for each board setting; all 0 at start, so the first
// connected cycle sends every setting that is not zero.
struct SentSettings {
    double HysteresisSent = 0;
    double OffsetSent = 0;
    int WindThresholdSent = 0;
    int RainThresholdSent = 0;
    int LightThresholdSent = 0;
    int WindTimerSent = 0;
    int WindMultiplierSent = 0;
    int RainOnTimeSent = 0;
};

// One request: its transmits in order (one character each, but the wind
// multiplier's digits travel together).
using Request = QStringList;

// Splits ":AH0" into ":", "A", "H", "0".
Request charRequest(const QString &text);

// The eight switch checks and the eight setting checks, in the order the board
// expects. Each check looks at the state when it runs, so a click or a setting
// changed during an earlier send of the same cycle is still picked up.
constexpr int kSwitchChecks = 8;
constexpr int kSettingChecks = 8;

// Check `order`: consumes a queued heater, relay, light or wind request (the
// state change is made whether or not anything is sent); returns its
// transmits, possibly two requests' worth, or an empty list.
QList<Request> takeSwitchRequest(WeatherState &w, int order);
// Check `order`: records a changed setting as sent and returns its request.
QList<Request> takeSettingRequest(const Settings &s, SentSettings &sent, int order);

// All checks at once (for callers that do not wait in between).
QList<Request> takeSwitchRequests(WeatherState &w);
QList<Request> takeSettingRequests(const Settings &s, SentSettings &sent);
