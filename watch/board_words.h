// The watch in words for people: the board's state, the age of the last
// reading, the sky and the safety verdict (the hand box's status strip), the
// line written on each change of the board's state, and why readings may not
// leave the program now.
#pragma once

#include "watch/watch_status.h"

// "4 s", "2 min", "3 h", "2 days" (whole units, rounded down).
QString durationWords(qint64 seconds);

// "Live on /dev/ttyUSB0", "No board on /dev/ttyS1 — showing test values",
// "Board lost 2 min ago — retrying", ...
QString boardWords(const BoardStatus &board, const QDateTime &nowUtc);
// "updated 1 s ago", or "no reading yet".
QString ageWords(const QDateTime &lastRecordUtc, const QDateTime &nowUtc);
// "Clear", "Partly cloudy", "Overcast", "Rain" or "Daylight", with ", Windy"
// added; "Sky not measured" without temperatures; "" for the test record.
QString skyWords(const Observation &o);
// "Safe" or "Unsafe: rain, wind" (the wait after a start in its own words);
// "" while no verdict is known.
QString safetyWords(const SafetyVerdict &safety);

// The line for standard error and the traffic window when the state changes:
// "board lost on /dev/ttyUSB0: Input/output error".
QString boardChangeLine(const BoardStatus &board);

// Why readings must not go out now; empty when they may (there is a current
// observation). The time of the last live reading is local: "no live reading
// since 21:04:12".
QString notLiveReason(const WatchStatus &status, const QDateTime &nowUtc, int staleAfterSeconds);
