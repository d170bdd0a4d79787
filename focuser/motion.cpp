// Position reset of the setup dialog.
#include "focuser/motion.h"

#include "core/number_format.h"
#include "core/settings.h"

std::optional<int32_t> resetPositionValue(bool absoluteSelected, double maxStepField)
{
    if (!absoluteSelected)
        return 0;
    try {
        return toInt32(maxStepField / 2);
    } catch (const ConversionError &) {
        return std::nullopt;
    }
}

bool ResetPosition(Settings &settings, bool absoluteSelected, double maxStepField)
{
    const std::optional<int32_t> value = resetPositionValue(absoluteSelected, maxStepField);
    if (!value)
        return false;
    settings.Position = *value;
    return true;
}
