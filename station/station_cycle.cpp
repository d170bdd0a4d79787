#include "station/station_cycle.h"

#include "core/messages.h"
#include "core/number_format.h"
#include "core/hand_box_api.h"
#include "core/settings.h"
#include "core/traffic.h"
#include "core/wait.h"
#include "station/conditions.h"
#include "station/conversions.h"
#include "station/hand_box_rules.h"
#include "station/record_parser.h"
#include "station/record_readings.h"
#include "station/sky_correction.h"
#include "station/station_link.h"


namespace {
constexpr HandBoxField kRawTp = HandBoxField::Raw_TP;
constexpr HandBoxField kRawRh = HandBoxField::Raw_RH;
constexpr HandBoxField kTpTemp = HandBoxField::TPTemp;
constexpr HandBoxField kDewPointT = HandBoxField::DewPointT;
constexpr HandBoxField kSkyBright = HandBoxField::Label_SkyBright;
constexpr int kRecheckMs = 20;

QString oneDecimal(double v)
{
    return formatNumber(v, "0.0");
}
} // namespace

StationCycle::StationCycle(StationLink &link, const StationContext &context) : m_link(link), m_ctx(context) {}

void StationCycle::restartWindows()
{
    m_ctx.weather.WindSampleIndex = 1;
    m_ctx.weather.TempSampleIndex = 1;
}

void StationCycle::limitWindowSizes()
{
    Settings &s = m_ctx.settings;
    for (const QString &msg : {limitWindowSize(s.TempsAvgCount, QStringLiteral("TempsAvgCount")),
                               limitWindowSize(s.WindsAvgCnt, QStringLiteral("WindsAvgCnt"))}) {
        if (!msg.isEmpty())
            showMessage(msg);
    }
}

ObservationSource StationCycle::reprocessedSource() const
{
    // Past StaleAfterSeconds the record in hand is no reading of now.
    const QDateTime now = m_ctx.utcClock ? m_ctx.utcClock() : QDateTime::currentDateTimeUtc();
    return recordFresh(m_link.board(), now, staleLimitSeconds(m_ctx.settings)) ? ObservationSource::Reprocessed
                                                                               : ObservationSource::Stale;
}

void StationCycle::run()
{
    StationLink::PortUse use(m_link);
    if (!use.active())
        return;
    struct Ended {
        const std::function<void()> &call;
        ~Ended()
        {
            if (call)
                call();
        }
    } ended{m_cycleEnded};
    limitWindowSizes();
    m_link.superviseBoard();
    if (!m_link.commandStep())
        return; // the port failed; the next tick starts afresh

    WeatherState &w = m_ctx.weather;
    int failures = 0;
    int polls = 0;
    bool needRecord = true;
    ObservationSource source = ObservationSource::Live;
    for (;;) {
        if (needRecord) {
            if (!m_link.connected()) {
                // A board that went away leaves its last record in hand, shown
                // for what it is; with no board found there is the test record.
                const BoardState state = m_link.board().state;
                const bool wentAway = state == BoardState::Lost || state == BoardState::Silent;
                if (wentAway && m_link.board().lastRecord.isValid() && recordAccepted(w.StationRecord)) {
                    source = ObservationSource::Stale;
                } else {
                    w.StationRecord = kTestRecord;
                    source = ObservationSource::TestRecord;
                }
            } else {
                if (polls++ >= StationLink::kMaxPolls)
                    return;
                const StationLink::PollResult r = m_link.poll();
                if (r == StationLink::PollResult::Rejected)
                    continue;
                source = ObservationSource::Live;
                if (r == StationLink::PollResult::Failed) {
                    if (++failures > 1)
                        return;
                    m_ctx.pauseFor(kRecheckMs);
                    if (!recordAccepted(w.StationRecord))
                        continue;
                    source = reprocessedSource();
                }
            }
        } else if (source == ObservationSource::Live) {
            source = ObservationSource::Reprocessed;
        }
        try {
            processRecord(source);
            return;
        } catch (const std::exception &) {
            // Once per cycle: check the record in hand again and process it anew.
            if (++failures > 1)
                return;
            m_ctx.pauseFor(kRecheckMs);
            needRecord = !recordAccepted(w.StationRecord);
        }
    }
}

void StationCycle::processSearchRecord(const ObservationSink &show)
{
    const BoardStatus &board = m_link.board();
    if (!m_link.connected() || !deliversReadings(board.state) || !board.lastRecord.isValid())
        return;
    StationLink::PortUse use(m_link);
    if (!use.active() || !recordAccepted(m_ctx.weather.StationRecord))
        return;
    // A cycle of its own on a copy of the weather state, without alerts,
    // traffic or fifth-window consumers: this cycle's windows and counts, and
    // the weather state, stay as they were.
    WeatherState weather = m_ctx.weather;
    StationContext context{m_ctx.settings, weather, m_ctx.handBox};
    context.utcClock = m_ctx.utcClock;
    context.pause = m_ctx.pause;
    StationCycle scratch(m_link, context);
    scratch.addObserver(show);
    try {
        scratch.processRecord(ObservationSource::Live);
    } catch (const std::exception &) {
        return; // nothing to show before the first tick, which polls again
    }
    // The record's own readings stand until the first tick's replace them, so
    // a client reads what is served; the means, the gust and the windows'
    // bookkeeping are left as they were.
    WeatherState &w = m_ctx.weather;
    w.RainReading = weather.RainReading;
    w.HeaterStatus = weather.HeaterStatus;
    w.RelayStatus = weather.RelayStatus;
    w.DewPointC = weather.DewPointC;
    w.WindSpeed = weather.WindSpeed;
}

void StationCycle::processRecord(ObservationSource source)
{
    WeatherState &w = m_ctx.weather;
    const Settings &s = m_ctx.settings;
    HandBoxApi &hb = m_ctx.handBox;
    // Hold a copy: a hook or a click during a wait may replace the record.
    const QString record = w.StationRecord;
    Observation o; // this record's own facts; publish() adds the windows' results
    o.source = source;
    m_reportDue = false;
    // Live records after test or stale ones: the averaging windows start
    // again, so no mean mixes the two, and the temperatures wait for theirs.
    const bool live = source == ObservationSource::Live || source == ObservationSource::Reprocessed;
    if (live && !m_lastLive) {
        restartWindows();
        m_temperaturesFilled = false;
        m_windAveraged = false;
    }
    m_lastLive = live;

    // 1. Rain
    w.RainReading = recordWhole(record, RecordPos::Rain, RecordPos::RainWidth);
    o.raining = isRaining(w.RainReading, s.RainThreshold);
    hb.setBackColor(HandBoxField::LabelRain, rainIndicatorColor(w.RainReading, s.RainThreshold));
    m_ctx.raiseAlert(AlertKind::Rain, o.raining);

    // 2, 3. Heater and relay as the board reports them
    w.HeaterStatus = recordWhole(record, RecordPos::Hb, 1);
    const Indicator heater = switchIndicator(w.HeaterStatus);
    hb.setBackColor(HandBoxField::HeaterOn, heater.backColor);
    hb.setFieldText(HandBoxField::HeaterOn, heater.caption);
    w.RelayStatus = recordWhole(record, RecordPos::Rb, 1);
    const Indicator relay = switchIndicator(w.RelayStatus);
    hb.setBackColor(HandBoxField::RelayOn, relay.backColor);
    hb.setFieldText(HandBoxField::RelayOn, relay.caption);

    // 4. Measured sky temperature, read back from its box later
    hb.setFieldText(kRawTp, generalText(recordReal(record, RecordPos::Tp, RecordPos::TpWidth) / 100));
    hb.setBackColor(HandBoxField::LabelClouds, VbColor::White);

    // 5. Humidity counts exactly as received
    const QString hum = recordField(record, RecordPos::Hum, RecordPos::HumWidth);
    hb.setFieldText(kRawRh, hum);
    m_humidityMissing = hum == kNoHumidity;
    hb.setBackColor(HandBoxField::LabelCloudsNarrow, m_humidityMissing ? VbColor::Red : VbColor::White);

    // 6. Temperature window, then humidity and dew point
    temperatureStep(record);
    humidityAndDewPoint();

    // 7. Sky brightness without its leading zeros; a non-number stays as it
    // came and fails at the light check below.
    const QString lgt = recordField(record, RecordPos::Lgt, RecordPos::LgtWidth);
    try {
        hb.setFieldText(kSkyBright, formatNumber(realFromText(lgt), "0"));
    } catch (const ConversionError &) {
        hb.setFieldText(kSkyBright, lgt);
    }

    // 8. Sky values, cloud class, then the cloud and light conditions
    skyValues();
    o.sky = skyClass(m_skyDifference, s.PartCloudyDegC, s.FullCloudyDegC);
    hb.setBackColor(HandBoxField::Cloud_Sky, skyColor(o.sky));
    o.cloudy = isCloudy(m_skyDifference, s.PartCloudyDegC);
    m_ctx.raiseAlert(AlertKind::Cloud, o.cloudy);
    o.skyBrightness = wholeFromText(hb.fieldText(kSkyBright));
    o.daylight = isDaylight(o.skyBrightness, s.LightThreshold);
    m_ctx.raiseAlert(AlertKind::Light, o.daylight);

    // 9. Wind
    if (w.WindEnabled)
        windStep(record);
    publish(o);
}

void StationCycle::publish(Observation &o)
{
    if (m_observers.empty())
        return;
    const WeatherState &w = m_ctx.weather;
    o.utc = m_ctx.utcClock ? m_ctx.utcClock() : QDateTime::currentDateTimeUtc();
    o.ambientC = w.AmbientTempAvgC;
    o.thermopileC = w.ThermopileTempAvgC;
    o.skyC = m_measuredSky;
    o.ambientMinusSkyC = m_skyDifference;
    o.humidityPercent = m_humidity;
    o.dewPointC = w.DewPointC;
    o.rainReading = w.RainReading;
    o.rainMean = w.RainAvg;
    o.windOn = w.WindEnabled;
    o.windCurrent = m_windCurrent;
    o.windAverage = m_windAverage;
    o.windGust = w.WindGust;
    o.windy = m_windy;
    o.heater = w.HeaterStatus;
    o.relay = w.RelayStatus;
    const HandBoxApi &hb = m_ctx.handBox;
    o.extras.shown = {hb.fieldText(HandBoxField::RH), hb.fieldText(HandBoxField::LabelClouds),
                      hb.fieldText(HandBoxField::LabelCloudsNarrow), hb.fieldText(HandBoxField::Cloud_Sky),
                      hb.fieldText(kRawTp), hb.fieldText(kRawRh), hb.fieldText(kSkyBright)};
    o.extras.start = {w.StartHeaterAllowed, w.StartHeaterOn, w.StartRelayAllowed, w.StartRelayOn, w.StartLightAllowed,
                      w.StartWindAllowed};
    o.extras.reportDue = m_reportDue;
    const ReadingState state{deliversReadings(m_link.board().state), skyIsReading(), m_temperaturesFilled,
                             m_humidityMissing, m_windAveraged};
    o.readings = recordReadings(o, state, m_ctx.settings.PartCloudyDegC, m_ctx.settings.FullCloudyDegC);
    // A copy: an observer may add another while this one runs.
    const std::vector<ObservationSink> observers = m_observers;
    for (const ObservationSink &sink : observers)
        sink(o);
}

void StationCycle::temperatureStep(const QString &record)
{
    WeatherState &w = m_ctx.weather;
    const Settings &s = m_ctx.settings;
    HandBoxApi &hb = m_ctx.handBox;

    if (!w.TempEnabled) {
        hb.setACloudTemp(-99);
        w.ThermopileTempAvgC = -99;
        hb.setATPTemp(-99);
        hb.setFieldText(kTpTemp, QStringLiteral("-99"));
        hb.setFieldText(kRawRh, QStringLiteral("999"));
        hb.setFieldText(kRawTp, QStringLiteral("999"));
        w.AmbientTempAvgC = -99;
        w.RainAvg = -99;
        w.TempSampleIndex = 1;
        m_temperaturesFilled = false;
        return;
    }

    int i = w.TempSampleIndex;
    if (i > s.TempsAvgCount)
        i = 1; // the window was made smaller; start it again rather than overrun
    // No reading (or a rejected one): the previous mean stands in
    const double thermopile =
        temperatureSample(recordField(record, RecordPos::Ttp, RecordPos::TtpWidth), w.ThermopileTempAvgC);
    const double ambient = temperatureSample(recordField(record, RecordPos::Ta, RecordPos::TaWidth), w.AmbientTempAvgC);
    m_thermopile.store(i, thermopile);
    m_ambient.store(i, ambient);
    m_rain.store(i, w.RainReading);

    if (i == s.TempsAvgCount) {
        w.ThermopileTempAvgC = m_thermopile.mean(s.TempsAvgCount);
        w.AmbientTempAvgC = m_ambient.mean(s.TempsAvgCount);
        w.RainAvg = m_rain.mean(s.TempsAvgCount);
        hb.setACloudTemp(w.ThermopileTempAvgC);
        hb.setFieldText(HandBoxField::TP_Faren, oneDecimal(fahrenheit(w.ThermopileTempAvgC)));
        hb.setATPTemp(w.AmbientTempAvgC);
        hb.setFieldText(HandBoxField::Amb_Faren, oneDecimal(fahrenheit(w.AmbientTempAvgC)));
        hb.setFieldText(HandBoxField::Ambient1_TempC, oneDecimal(w.RainAvg));
        hb.setFieldText(HandBoxField::Ambient1_TempF, oneDecimal(fahrenheit(w.RainAvg)));
        m_temperaturesFilled = true;
        i = 0;
    }
    w.TempSampleIndex = i + 1;
}

void StationCycle::humidityAndDewPoint()
{
    WeatherState &w = m_ctx.weather;
    HandBoxApi &hb = m_ctx.handBox;
    const double counts = realFromText(hb.fieldText(kRawRh));
    const double wholeAmbient = hb.aTPTemp();
    const HumidityResult r = ::humidityAndDewPoint(counts, w.AmbientTempAvgC, wholeAmbient);
    w.DewPointC = r.dewPointC;
    m_humidity = r.relativeHumidity;
    hb.setFieldText(HandBoxField::RH, formatNumber(r.relativeHumidity, "0"));
    hb.setFieldText(kDewPointT, oneDecimal(r.dewPointC));
    hb.setFieldText(HandBoxField::DP_Faren, oneDecimal(fahrenheit(r.dewPointC)));
}

void StationCycle::skyValues()
{
    HandBoxApi &hb = m_ctx.handBox;
    // The shown texts, not the full-precision values, go into these.
    const double measured = realFromText(hb.fieldText(kRawTp));
    m_measuredSky = measured;
    hb.setFieldText(HandBoxField::LabelClouds, oneDecimal(measured));
    const double wholeAmbient = hb.aTPTemp();
    const double calculated = calculatedSkyTemp(realFromText(hb.fieldText(kDewPointT)), wholeAmbient);
    hb.setFieldText(HandBoxField::LabelCloudsNarrow, oneDecimal(calculated));
    m_skyDifference = skyDifferenceAsSet(m_ctx.settings, wholeAmbient, measured);
    hb.setFieldText(HandBoxField::Cloud_Sky, oneDecimal(m_skyDifference));
}

void StationCycle::windStep(const QString &record)
{
    WeatherState &w = m_ctx.weather;
    const Settings &s = m_ctx.settings;
    HandBoxApi &hb = m_ctx.handBox;

    const double raw = recordReal(record, RecordPos::Wind, RecordPos::WindWidth);
    hb.setRawWind(raw);
    const double sample = windSample(raw, s.StepTime, s.MaxInc);

    int j = w.WindSampleIndex;
    if (j > s.WindsAvgCnt)
        j = 1; // the window was made smaller; start it again rather than overrun
    w.WindSpeed = sample;
    m_windCurrent = sample;
    m_wind.store(j, sample);
    hb.setWindCurrent(sample);
    if (w.WindSpeed > w.WindGust) {
        w.WindGust = sample;
        hb.setWindsGusts(w.WindGust);
    }
    if (++w.GustCycleCount == w.GustResetCycles) {
        w.WindGust = 0; // the gust display keeps the old value
        w.GustCycleCount = 0;
    }

    if (j == s.WindsAvgCnt) {
        w.WindSpeed = 0;
        for (int k = 1; k <= s.WindsAvgCnt; ++k) {
            w.WindSpeed += m_wind.slot(k);
            if (TrafficApi *t = m_ctx.trafficFor(TrafficGroup::TempRelated))
                t->TrafficLine(QStringLiteral("Averageing ") + generalText(m_wind.slot(k)));
        }
        w.WindSpeed /= s.WindsAvgCnt;
        j = 0;
        hb.setWindsAvg(w.WindSpeed);
        m_windAverage = w.WindSpeed;
        m_windAveraged = true;
        m_windy = isWindy(w.WindSpeed, s.StepTime, s.WindThreshold);
        m_ctx.raiseAlert(AlertKind::Wind, m_windy);
        if (++w.WindAverageCount > 4) {
            // Reset first: the report may pump events, and a failure in it
            // must not repeat the upload on the recovery pass.
            w.WindAverageCount = 0;
            m_reportDue = true;
            for (const auto &consumer : m_ctx.fifthWindow) {
                if (consumer)
                    consumer();
            }
        }
        if (TrafficApi *t = m_ctx.trafficFor(TrafficGroup::TempRelated))
            t->TrafficLine(QStringLiteral("Final Average ") + generalText(w.WindSpeed));
    }
    w.WindSampleIndex = j + 1;
}
