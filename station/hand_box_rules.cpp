#include "station/hand_box_rules.h"

#include "core/hand_box_api.h"
#include "core/number_format.h"
#include "station/conditions.h"
#include "station/weather_state.h"

namespace {

void allowHandler(HandBoxApi &box, HandBoxField allowBox, HandBoxField forceBox, int32_t &allow, int32_t &sent,
                  int32_t &force)
{
    const bool checked = box.checkState(allowBox) == 1;
    sent = allow;
    force = 2;
    if (checked) {
        allow = 1;
        box.setCheckState(forceBox, 0);
    } else {
        allow = 0;
        sent = 1;
    }
}

void forceHandler(HandBoxApi &box, HandBoxField allowBox, HandBoxField forceBox, int32_t &allow, int32_t &sent,
                  int32_t &force)
{
    sent = 1;
    allow = 0;
    box.setCheckState(allowBox, 0);
    force = box.checkState(forceBox) == 1 ? 1 : 2;
}

void alarmHandler(HandBoxApi &box, HandBoxField name, int32_t &allow, int32_t &sent)
{
    sent = allow;
    if (box.checkState(name) == 1) {
        allow = 1;
    } else {
        allow = 0;
        sent = 1;
    }
}

} // namespace

bool runSwitchBoxHandler(HandBoxApi &box, WeatherState &w, HandBoxField c)
{
    using F = HandBoxField;
    switch (c) {
    case F::AllowHeater: allowHandler(box, F::AllowHeater, F::ForceHeater, w.HeaterAllow, w.HeaterAllowSent, w.HeaterForce); break;
    case F::ForceHeater: forceHandler(box, F::AllowHeater, F::ForceHeater, w.HeaterAllow, w.HeaterAllowSent, w.HeaterForce); break;
    case F::AllowRelay: allowHandler(box, F::AllowRelay, F::ForceRelay, w.RelayAllow, w.RelayAllowSent, w.RelayForce); break;
    case F::ForceRelay: forceHandler(box, F::AllowRelay, F::ForceRelay, w.RelayAllow, w.RelayAllowSent, w.RelayForce); break;
    case F::AllowLight: alarmHandler(box, F::AllowLight, w.LightAllow, w.LightAllowSent); break;
    case F::AllowWind: alarmHandler(box, F::AllowWind, w.WindAllow, w.WindAllowSent); break;
    default: return false;
    }
    return true;
}

uint32_t rainIndicatorColor(int rainReading, int rainThreshold)
{
    return isRaining(rainReading, rainThreshold) ? VbColor::Red : VbColor::Green;
}

double readBackAmbient(HandBoxApi &box)
{
    const QString text = box.fieldText(HandBoxField::TPTemp);
    if (text.isEmpty()) {
        box.setFieldText(HandBoxField::TPTemp, QStringLiteral("200"));
        return 0;
    }
    return wholeFromText(text);
}
