// One temperature-compensation step as plain arithmetic: the report lines and
// the targets handed to the motion hook, in the order they happen.
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

struct CompensationInput {
    double lastComp = 0;
    double windSpeed = 0; // the followed value
    double tempMax = 0;
    int32_t tempSteps = 0;
    int32_t position = 0;
    bool canTempComp = false;
    bool synchronous = false;
    bool backlashDir = false;
    int32_t backlashComp = 0;
};

struct CompensationAction {
    enum class Kind { Report, Move } kind;
    QString text;       // Report
    int32_t target = 0; // Move
};

struct CompensationPlan {
    std::vector<CompensationAction> actions; // after the opening report
    bool compensated = false;                // LastComp follows the value
};

// The value the station writes when it has no reading.
inline constexpr double kNoReading = -99;

QString compensationOpening(double lastComp, double windSpeed);

// Throws FocuserError (overflow, division by zero) before any action happens.
CompensationPlan planCompensation(const CompensationInput &in);
