// Tarnwick's live answer (GET /tarnwick/v1/live) as the INDI weather driver
// needs it, and what one read means for the driver: the values, the one
// verdict Tarnwick judged, and whether the read can be trusted at all. The
// driver never judges the weather itself.
#pragma once

#include <cmath>
#include <optional>
#include <string>
#include <vector>

struct LiveAnswer {
    long long nowMs = 0;        // Tarnwick's clock at the answer, ms since 1970 UTC
    bool verdictKnown = false;  // false until Tarnwick has judged
    bool safe = false;
    std::vector<std::string> unsafeTexts;
    bool boardHeld = false;     // the verdict holds the board: no fresh reading
    bool hasObservation = false;
    // The last reading, in the units of the driver's parameters; NaN when not measured.
    double temperatureC = NAN, humidityPercent = NAN, dewPointC = NAN, skyC = NAN, skyMinusAmbientC = NAN;
    double windKmh = NAN, gustKmh = NAN, cloudCoverPercent = NAN;
    double raining = NAN, daylight = NAN, skyClass = NAN; // 0/1; 0 clear, 1 partly cloudy, 2 overcast
};

// The answer's JSON; nullopt, with the reason in problem, when it is not one.
std::optional<LiveAnswer> parseLiveAnswer(const std::string &body, std::string &problem);

struct ReadOutcome {
    bool safe = false;  // Tarnwick's verdict is known and safe, and the read is good and fresh
    bool fresh = false; // the values are a reading of now
    std::string reasons;
};

// What one read tells the driver. fetchError: empty when an answer came;
// previousNowMs: the clock of the last good answer (0 before the first), for
// an answer that does not move on is an old one.
ReadOutcome outcomeOf(const std::string &fetchError, const std::optional<LiveAnswer> &answer,
                      const std::string &parseProblem, long long previousNowMs);
