#include "fake_hand_box.h"

#include "core/program.h"
#include "station/hand_box_rules.h"
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
    runSwitchBoxHandler(*this, m_weather, c);
}

void FakeHandBox::setWindCurrent(double v)
{
    HandBoxFields::setWindCurrent(v);
    const Settings &s = prog().settings;
    setBackColor(QStringLiteral("LabelRain"), rainIndicatorColor(m_weather.RainReading, s.RainThreshold));
}
