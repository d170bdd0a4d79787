// Colour rules of the hand box's wind values and indicators.
#pragma once

#include "core/hand_box_api.h"

enum class WindLevel { Calm, Warning, Danger };

// Greater-than, not greater-or-equal: a value equal to a level stays below it.
inline WindLevel windLevel(double v, double warn, double danger)
{
    if (v > danger)
        return WindLevel::Danger;
    if (v > warn)
        return WindLevel::Warning;
    return WindLevel::Calm;
}

struct LabelColors {
    uint32_t back;
    uint32_t fore;
};

// Colours of the value label itself.
inline LabelColors windValueColors(WindLevel level)
{
    switch (level) {
    case WindLevel::Danger: return {VbColor::Red, VbColor::White};
    case WindLevel::Warning: return {VbColor::Yellow, VbColor::Black};
    case WindLevel::Calm: break;
    }
    return {VbColor::Black, VbColor::White};
}

// Back colour of the wind indicator.
inline uint32_t windIndicatorColor(WindLevel level)
{
    switch (level) {
    case WindLevel::Danger: return VbColor::Red;
    case WindLevel::Warning: return VbColor::Yellow;
    case WindLevel::Calm: break;
    }
    return VbColor::Green;
}
