// The hand box as the station cycle meets it: fields by name, plus the
// window's check-box handlers (each new state runs the box's handler, which
// may set other boxes) and its rain colour on every new wind sample.
#pragma once

#include "core/hand_box_fields.h"

struct WeatherState;

class FakeHandBox : public HandBoxFields {
public:
    explicit FakeHandBox(WeatherState &weather) : m_weather(weather) {}

    int timerEnables = 0;

    void setCheckState(HandBoxField field, int state) override;
    void setWindCurrent(double v) override;
    void setTimerEnabled(bool on) override;

private:
    void runHandler(HandBoxField field);

    WeatherState &m_weather;
};
