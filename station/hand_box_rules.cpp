#include "station/hand_box_rules.h"

#include "core/hand_box_api.h"
#include "station/conditions.h"
#include "station/weather_state.h"

namespace {

void allowHandler(HandBoxApi &box, const char *allowBox, const char *forceBox, int32_t &allow, int32_t &sent,
                  int32_t &force)
{
    const bool checked = box.checkState(QString::fromLatin1(allowBox)) == 1;
    sent = allow;
    force = 2;
    if (checked) {
        allow = 1;
        box.setCheckState(QString::fromLatin1(forceBox), 0);
    } else {
        allow = 0;
        sent = 1;
    }
}

void forceHandler(HandBoxApi &box, const char *allowBox, const char *forceBox, int32_t &allow, int32_t &sent,
                  int32_t &force)
{
    sent = 1;
    allow = 0;
    box.setCheckState(QString::fromLatin1(allowBox), 0);
    force = box.checkState(QString::fromLatin1(forceBox)) == 1 ? 1 : 2;
}

void alarmHandler(HandBoxApi &box, const char *name, int32_t &allow, int32_t &sent)
{
    sent = allow;
    if (box.checkState(QString::fromLatin1(name)) == 1) {
        allow = 1;
    } else {
        allow = 0;
        sent = 1;
    }
}

} // namespace

bool runSwitchBoxHandler(HandBoxApi &box, WeatherState &w, const QString &c)
{
    if (c == QLatin1String("AllowHeater"))
        allowHandler(box, "AllowHeater", "ForceHeater", w.HeaterAllow, w.HeaterAllowSent, w.HeaterForce);
    else if (c == QLatin1String("ForceHeater"))
        forceHandler(box, "AllowHeater", "ForceHeater", w.HeaterAllow, w.HeaterAllowSent, w.HeaterForce);
    else if (c == QLatin1String("AllowRelay"))
        allowHandler(box, "AllowRelay", "ForceRelay", w.RelayAllow, w.RelayAllowSent, w.RelayForce);
    else if (c == QLatin1String("ForceRelay"))
        forceHandler(box, "AllowRelay", "ForceRelay", w.RelayAllow, w.RelayAllowSent, w.RelayForce);
    else if (c == QLatin1String("AllowLight"))
        alarmHandler(box, "AllowLight", w.LightAllow, w.LightAllowSent);
    else if (c == QLatin1String("AllowWind"))
        alarmHandler(box, "AllowWind", w.WindAllow, w.WindAllowSent);
    else
        return false;
    return true;
}

uint32_t rainIndicatorColor(int rainReading, int rainThreshold)
{
    return isRaining(rainReading, rainThreshold) ? VbColor::Red : VbColor::Green;
}
