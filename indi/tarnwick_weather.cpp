#include "tarnwick_weather.h"

#include "live_answer.h"
#include "live_fetch.h"

#include "indilogger.h"

#include <cmath>
#include <cstring>
#include <memory>

namespace {

// The whole read, connection included, never holds the driver longer.
constexpr long kReadTimeoutMs = 2000;
constexpr double kDefaultPeriodSeconds = 5;
const char *const kSafety = "WEATHER_SAFETY";
constexpr double kSafeValue = 1;

// Informative parameters, never critical: only Tarnwick's verdict
// (WEATHER_SAFETY) decides the weather status, so their ranges are not offered.
struct Parameter {
    const char *name;
    const char *label;
    double min, max;
    double LiveAnswer::*value;
};
const Parameter kParameters[] = {
    {"WEATHER_TEMPERATURE", "Temperature (C)", -60, 60, &LiveAnswer::temperatureC},
    {"WEATHER_HUMIDITY", "Humidity (%)", 0, 100, &LiveAnswer::humidityPercent},
    {"WEATHER_DEWPOINT", "Dew point (C)", -80, 60, &LiveAnswer::dewPointC},
    {"WEATHER_SKY_TEMPERATURE", "Sky temperature (C)", -100, 60, &LiveAnswer::skyC},
    {"WEATHER_SKY_DIFF", "Sky - ambient (C)", -100, 60, &LiveAnswer::skyMinusAmbientC},
    {"WEATHER_WIND_SPEED", "Wind (km/h)", 0, 500, &LiveAnswer::windKmh},
    {"WEATHER_WIND_GUST", "Gust (km/h)", 0, 500, &LiveAnswer::gustKmh},
    {"WEATHER_RAIN", "Rain (1 = raining)", 0, 1, &LiveAnswer::raining},
    // The name clients look for first; the sensor tells rain, not an amount.
    {"WEATHER_RAIN_HOUR", "Rain (1 = raining, no amount)", 0, 1, &LiveAnswer::raining},
    {"WEATHER_CLOUD_COVER", "Cloud cover (%)", 0, 100, &LiveAnswer::cloudCoverPercent},
    {"WEATHER_CLOUDS", "Sky (0 clear, 1 partly cloudy, 2 overcast)", 0, 2, &LiveAnswer::skyClass},
    {"WEATHER_DAYLIGHT", "Daylight (1 = day)", 0, 1, &LiveAnswer::daylight},
};

std::unique_ptr<TarnwickWeather> device(new TarnwickWeather());

} // namespace

TarnwickWeather::TarnwickWeather()
{
    setVersion(TARNWICK_VERSION_MAJOR, TARNWICK_VERSION_MINOR);
    setWeatherConnection(CONNECTION_NONE);
}

const char *TarnwickWeather::getDefaultName()
{
    return "Tarnwick Weather";
}

bool TarnwickWeather::Connect()
{
    return true; // every read connects anew; a Tarnwick that is down is an Alert, not a refusal
}

bool TarnwickWeather::Disconnect()
{
    return true;
}

bool TarnwickWeather::initProperties()
{
    INDI::Weather::initProperties();
    UpdatePeriodNP[0].setValue(kDefaultPeriodSeconds);

    IUFillText(&m_addressT[0], "URL", "Tarnwick address", "http://127.0.0.1:11111");
    IUFillTextVector(&m_addressTP, m_addressT, 1, getDeviceName(), "TARNWICK_URL", "Tarnwick", OPTIONS_TAB, IP_RW, 60,
                     IPS_IDLE);
    IUFillText(&m_reasonsT[0], "REASONS", "Reasons", "Not read yet");
    IUFillTextVector(&m_reasonsTP, m_reasonsT, 1, getDeviceName(), "WEATHER_SAFETY_REASONS", "Tarnwick verdict",
                     MAIN_CONTROL_TAB, IP_RO, 60, IPS_IDLE);

    // The verdict's range is fixed: read-only here, and a new one from a
    // client or a saved configuration is refused (ISNewNumber).
    addParameter(kSafety, "Tarnwick verdict (1 = safe)", kSafeValue, kSafeValue, 0);
    setCriticalParameter(kSafety);
    ParametersRangeNP[0].p = IP_RO;
    for (const Parameter &p : kParameters) {
        addParameter(p.name, p.label, p.min, p.max, 0);
        setParameterValue(p.name, NAN); // no value before the first reading, rather than a 0 that looks like one
    }
    // The base class offers, saves and takes the ranges below nRanges: the
    // verdict's, added first, is the only one.
    nRanges = 1;
    setParameterValue(kSafety, 0);
    addDebugControl();
    return true;
}

void TarnwickWeather::ISGetProperties(const char *dev)
{
    INDI::Weather::ISGetProperties(dev);
    // Defined once: from then on the base class defines it with the others.
    static bool defined = false;
    if (!defined) {
        defined = true;
        defineProperty(&m_addressTP);
        loadConfig(true, m_addressTP.name);
    }
}

bool TarnwickWeather::updateProperties()
{
    // Before the base class: it reads at once when connected.
    if (isConnected())
        defineProperty(&m_reasonsTP);
    else
        deleteProperty(m_reasonsTP.name);
    return INDI::Weather::updateProperties();
}

bool TarnwickWeather::ISNewText(const char *dev, const char *name, char *texts[], char *names[], int n)
{
    if (dev && !std::strcmp(dev, getDeviceName()) && !std::strcmp(name, m_addressTP.name)) {
        IUUpdateText(&m_addressTP, texts, names, n);
        m_addressTP.s = IPS_OK;
        IDSetText(&m_addressTP, nullptr);
        return true;
    }
    return INDI::Weather::ISNewText(dev, name, texts, names, n);
}

bool TarnwickWeather::ISNewNumber(const char *dev, const char *name, double values[], char *names[], int n)
{
    if (dev && !std::strcmp(dev, getDeviceName()) && !std::strcmp(name, kSafety)) {
        INumberVectorProperty &range = ParametersRangeNP[0];
        bool changed = false;
        for (int i = 0; i < n; ++i) {
            const INumber *number = IUFindNumber(&range, names[i]);
            changed = changed || (number && number->value != values[i]);
        }
        // The saved configuration sends the fixed values back: no news.
        range.s = changed ? IPS_ALERT : IPS_OK;
        IDSetNumber(&range, changed ? "The range of Tarnwick's verdict is fixed: only Tarnwick judges the weather" : nullptr);
        return true;
    }
    return INDI::Weather::ISNewNumber(dev, name, values, names, n);
}

bool TarnwickWeather::saveConfigItems(FILE *fp)
{
    INDI::Weather::saveConfigItems(fp);
    IUSaveConfigText(fp, &m_addressTP);
    return true;
}

IPState TarnwickWeather::updateWeather()
{
    const FetchResult fetched = fetchUrl(liveUrlFrom(m_addressT[0].text), kReadTimeoutMs);
    std::string problem;
    std::optional<LiveAnswer> answer;
    if (fetched.error.empty())
        answer = parseLiveAnswer(fetched.body, problem);
    const ReadOutcome outcome = outcomeOf(fetched.error, answer, problem, m_lastAnswerMs);
    if (answer) {
        // A clock stepped back costs one read; an answer that never moves on stays stale.
        m_lastAnswerMs = answer->nowMs;
        if (answer->hasObservation)
            for (const Parameter &p : kParameters)
                setParameterValue(p.name, (*answer).*p.value);
    }
    setParameterValue(kSafety, outcome.safe ? 1 : 0);
    publishVerdict(outcome.safe, outcome.reasons);
    // Alert marks the values as not a reading of now; libindi then reads
    // again within 5 s instead of waiting for the period.
    return outcome.fresh ? IPS_OK : IPS_ALERT;
}

void TarnwickWeather::publishVerdict(bool safe, const std::string &reasons)
{
    const IPState state = safe ? IPS_OK : IPS_ALERT;
    // A turn is worth a line in the client's log; changing words are not.
    if (m_reasonsTP.s != state) {
        if (safe)
            LOG_INFO("Tarnwick says safe");
        else
            LOGF_WARN("Alert: %s", reasons.c_str());
    }
    if (reasons != m_reasonsT[0].text || m_reasonsTP.s != state) {
        IUSaveText(&m_reasonsT[0], reasons.c_str());
        m_reasonsTP.s = state;
        IDSetText(&m_reasonsTP, nullptr);
    }
    // The status is the verdict's, whatever a range says; an override the
    // user set keeps it Ok, as libindi does.
    syncCriticalParameters();
    critialParametersLP.lp[0].s = state;
    critialParametersLP.s = OverrideSP[0].getState() == ISS_ON ? IPS_OK : state;
    IDSetLight(&critialParametersLP, nullptr);
}
