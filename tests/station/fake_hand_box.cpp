#include "fake_hand_box.h"

#include "app/program.h"
#include "station/hand_box_rules.h"
#include "station/weather_state.h"

void FakeHandBox::setTimerEnabled(bool on)
{
    HandBoxFields::setTimerEnabled(on);
    if (on)
        ++timerEnables;
}

void FakeHandBox::setCheckState(HandBoxField field, int state)
{
    if (checkState(field) == state)
        return;
    m_checks[size_t(field)] = state;
    runHandler(field);
}

void FakeHandBox::runHandler(HandBoxField c)
{
    runSwitchBoxHandler(*this, m_weather, c);
}

void FakeHandBox::setWindCurrent(double v)
{
    HandBoxFields::setWindCurrent(v);
    const Settings &s = prog().settings;
    setBackColor(HandBoxField::LabelRain, rainIndicatorColor(m_weather.RainReading, s.RainThreshold));
}
