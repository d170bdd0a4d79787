// indi_tarnwick_weather: an INDI weather device that reads Tarnwick's live
// answer every WEATHER_UPDATE period (5 s unless changed) with a 2 s time-out
// and publishes its values and its one safety verdict. Any read that fails,
// comes late, cannot be read or is not fresh turns the status and the values
// to Alert at once, and libindi reads again 5 s later, before the period.
// The verdict alone sets the status: its range is fixed and no other is offered.
#pragma once

#include "indiweather.h"

#include <string>

class TarnwickWeather : public INDI::Weather {
public:
    TarnwickWeather();

    bool initProperties() override;
    bool updateProperties() override;
    void ISGetProperties(const char *dev) override;
    bool ISNewText(const char *dev, const char *name, char *texts[], char *names[], int n) override;
    bool ISNewNumber(const char *dev, const char *name, double values[], char *names[], int n) override;

protected:
    const char *getDefaultName() override;
    bool Connect() override;
    bool Disconnect() override;
    IPState updateWeather() override;
    bool saveConfigItems(FILE *fp) override;

private:
    void publishVerdict(bool safe, const std::string &reasons);

    IText m_addressT[1] {};
    ITextVectorProperty m_addressTP;
    IText m_reasonsT[1] {};
    ITextVectorProperty m_reasonsTP;
    long long m_lastAnswerMs = 0; // Tarnwick's clock at its last answer
};
