#include "fake_hand_box.h"

#include "core/program.h"
#include "station/weather_state.h"

void FakeHandBox::setTimerEnabled(bool on)
{
    HandBoxFields::setTimerEnabled(on);
    if (on)
        ++timerEnables;
}

void FakeHandBox::setCheckState(const QString &control, int state)
{
    if (checkState(control) == state)
        return;
    m_checks[control] = state;
    runHandler(control);
}

void FakeHandBox::runHandler(const QString &c)
{
    WeatherState &w = m_weather;
    const bool checked = checkState(c) == 1;
    auto allowHandler = [&](int32_t &allow, int32_t &sent, int32_t &force, const char *forceBox) {
        sent = allow;
        force = 2;
        if (checked) {
            allow = 1;
            setCheckState(QLatin1String(forceBox), 0);
        } else {
            allow = 0;
            sent = 1;
        }
    };
    auto forceHandler = [&](int32_t &allow, int32_t &sent, int32_t &force, const char *allowBox) {
        sent = 1;
        allow = 0;
        setCheckState(QLatin1String(allowBox), 0);
        force = checkState(c) == 1 ? 1 : 2;
    };
    auto alarmHandler = [&](int32_t &allow, int32_t &sent) {
        sent = allow;
        if (checked) {
            allow = 1;
        } else {
            allow = 0;
            sent = 1;
        }
    };
    if (c == QLatin1String("AllowHeater"))
        allowHandler(w.HeaterAllow, w.HeaterAllowSent, w.HeaterForce, "ForceHeater");
    else if (c == QLatin1String("ForceHeater"))
        forceHandler(w.HeaterAllow, w.HeaterAllowSent, w.HeaterForce, "AllowHeater");
    else if (c == QLatin1String("AllowRelay"))
        allowHandler(w.RelayAllow, w.RelayAllowSent, w.RelayForce, "ForceRelay");
    else if (c == QLatin1String("ForceRelay"))
        forceHandler(w.RelayAllow, w.RelayAllowSent, w.RelayForce, "AllowRelay");
    else if (c == QLatin1String("AllowLight"))
        alarmHandler(w.LightAllow, w.LightAllowSent);
    else if (c == QLatin1String("AllowWind"))
        alarmHandler(w.WindAllow, w.WindAllowSent);
}

void FakeHandBox::setWindCurrent(double v)
{
    HandBoxFields::setWindCurrent(v);
    const Settings &s = prog().settings;
    setBackColor(QStringLiteral("LabelRain"),
                 m_weather.RainReading > s.RainThreshold ? VbColor::Red : VbColor::Green);
}
