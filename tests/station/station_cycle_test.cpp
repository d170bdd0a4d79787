// Processing of records through the temperature and wind windows, the
// indicators and conditions, driven cycle by cycle on the fake port.
#include "core/hand_box_api.h"
#include "core/traffic.h"
#include "station_fixture.h"

class Processing : public StationFixture {
protected:
    void runCycles(int n)
    {
        for (int k = 0; k < n; ++k)
            cycle.run();
    }
};

TEST_F(Processing, TestRecordInOneCycleWindows)
{
    handBox.setBackColor(HandBoxField::LabelClouds, VbColor::Yellow); // every record paints it white again
    runCycles(1);
    EXPECT_EQ(weather().RainReading, 321);
    EXPECT_DOUBLE_EQ(weather().AmbientTempAvgC, 26.31);
    EXPECT_DOUBLE_EQ(weather().ThermopileTempAvgC, 44.32);
    EXPECT_EQ(field(HandBoxField::TPTemp), QStringLiteral("26.3"));
    EXPECT_EQ(field(HandBoxField::CloudTemp), QStringLiteral("44.3"));
    EXPECT_EQ(field(HandBoxField::Amb_Faren), QStringLiteral("79.4"));
    EXPECT_EQ(field(HandBoxField::TP_Faren), QStringLiteral("111.8"));
    EXPECT_EQ(field(HandBoxField::Ambient1_TempC), QStringLiteral("321.0"));
    EXPECT_EQ(field(HandBoxField::Ambient1_TempF), QStringLiteral("609.8"));
    EXPECT_EQ(field(HandBoxField::Raw_RH), QStringLiteral("0676"));
    EXPECT_EQ(field(HandBoxField::Raw_TP), QStringLiteral("1.46"));
    EXPECT_EQ(field(HandBoxField::RH), QStringLiteral("73"));
    EXPECT_EQ(field(HandBoxField::DewPointT), QStringLiteral("21.2"));
    EXPECT_EQ(field(HandBoxField::DP_Faren), QStringLiteral("70.1")); // 21.15 C
    EXPECT_EQ(field(HandBoxField::Cloud_Sky), QStringLiteral("24.5"));
    EXPECT_EQ(field(HandBoxField::LabelCloudsNarrow), QStringLiteral("12.4"));
    EXPECT_EQ(field(HandBoxField::LabelClouds), QStringLiteral("1.5"));
    EXPECT_EQ(field(HandBoxField::Label_SkyBright), QStringLiteral("1"));
    EXPECT_EQ(back(HandBoxField::Cloud_Sky), VbColor::Green);
    EXPECT_EQ(field(HandBoxField::HeaterOn), QStringLiteral("N"));
    EXPECT_EQ(back(HandBoxField::HeaterOn), VbColor::Green);
    EXPECT_EQ(field(HandBoxField::RelayOn), QStringLiteral("N"));
    EXPECT_EQ(back(HandBoxField::RelayOn), VbColor::Green);
    EXPECT_EQ(back(HandBoxField::LabelRain), VbColor::Green);
    EXPECT_EQ(back(HandBoxField::LabelClouds), VbColor::White);
    EXPECT_EQ(back(HandBoxField::LabelCloudsNarrow), VbColor::White);
    // Rain, cloud, light in that order; a wind window of one completes every cycle.
    ASSERT_EQ(alerts.size(), 4u);
    EXPECT_EQ(alerts[0], std::make_pair(AlertKind::Rain, false));
    EXPECT_EQ(alerts[1], std::make_pair(AlertKind::Cloud, false));
    EXPECT_EQ(alerts[2], std::make_pair(AlertKind::Light, true));
    EXPECT_EQ(alerts[3], std::make_pair(AlertKind::Wind, false));
}

TEST_F(Processing, FiveCycleTemperatureWindow)
{
    settings().TempsAvgCount = 5;
    const int ta[] = {1000, 2000, 3000, 4000, 5000};
    port.isOpen = true;
    for (int k = 0; k < 5; ++k) {
        port.answers.push_back({PortResult::Ok, withField(kTestRecord, 59, QStringLiteral("+0%1").arg(ta[k]))});
        cycle.run();
        if (k < 4) {
            EXPECT_EQ(weather().AmbientTempAvgC, 0) << k;
            // Empty ambient box reads 0 and is filled with "200".
            EXPECT_EQ(field(HandBoxField::TPTemp), QStringLiteral("200"));
        }
    }
    EXPECT_DOUBLE_EQ(weather().AmbientTempAvgC, 30);
    EXPECT_EQ(field(HandBoxField::TPTemp), QStringLiteral("30.0"));
    EXPECT_EQ(weather().TempSampleIndex, 1);
}

TEST_F(Processing, ATemperatureWindowMadeSmallerThanTheSlotInUseStartsAgain)
{
    settings().TempsAvgCount = 5;
    port.isOpen = true;
    auto cycleWithAmbient = [&](int hundredths) {
        port.answers.push_back({PortResult::Ok, withField(kTestRecord, 59, QStringLiteral("+0%1").arg(hundredths))});
        cycle.run();
    };
    for (int k = 0; k < 3; ++k)
        cycleWithAmbient(1000);
    ASSERT_EQ(weather().TempSampleIndex, 4);
    settings().TempsAvgCount = 2; // as a config edit or the profile leaves it, without a restart
    cycleWithAmbient(6000);
    cycleWithAmbient(6000);
    EXPECT_DOUBLE_EQ(weather().AmbientTempAvgC, 60);
    cycleWithAmbient(2000);
    cycleWithAmbient(2000);
    EXPECT_DOUBLE_EQ(weather().AmbientTempAvgC, 20);
    EXPECT_EQ(weather().TempSampleIndex, 1);
}

TEST_F(Processing, SkyRainAndDewPointBoxesShowTheWindowMeans)
{
    settings().TempsAvgCount = 2;
    port.isOpen = true;
    port.answers = {{PortResult::Ok, withField(kTestRecord, 21, "0300")},
                    {PortResult::Ok, withField(withField(kTestRecord, 21, "0401"), 49, "+02000")}};
    runCycles(2);
    // Sky 44.32 and 20.00 C, rain 300 and 401: means 32.16 C and 350.5.
    EXPECT_EQ(field(HandBoxField::CloudTemp), QStringLiteral("32.2"));
    EXPECT_EQ(field(HandBoxField::TP_Faren), QStringLiteral("89.9"));
    EXPECT_EQ(field(HandBoxField::Ambient1_TempC), QStringLiteral("350.5"));
    EXPECT_EQ(field(HandBoxField::Ambient1_TempF), QStringLiteral("662.9"));
    EXPECT_EQ(field(HandBoxField::Amb_Faren), QStringLiteral("79.4"));
    EXPECT_EQ(field(HandBoxField::DP_Faren), QStringLiteral("70.1"));
}

TEST_F(Processing, MissingReadingRepeatsThePreviousMean)
{
    port.isOpen = true;
    port.answers = {{PortResult::Ok, withField(kTestRecord, 49, "+19999")}};
    cycle.run();
    EXPECT_EQ(weather().ThermopileTempAvgC, 0); // first window: the start value
    port.answers = {{PortResult::Ok, kTestRecord}, {PortResult::Ok, withField(kTestRecord, 59, "+19999")}};
    runCycles(2);
    EXPECT_DOUBLE_EQ(weather().AmbientTempAvgC, 26.31);
}

TEST_F(Processing, ExponentInATemperatureIsARejectedSample)
{
    port.isOpen = true;
    port.answers = {{PortResult::Ok, kTestRecord},
                    {PortResult::Ok, withField(withField(kTestRecord, 49, "+04E32"), 59, "-9E307")}};
    runCycles(2);
    EXPECT_DOUBLE_EQ(weather().ThermopileTempAvgC, 44.32);
    EXPECT_DOUBLE_EQ(weather().AmbientTempAvgC, 26.31);
    EXPECT_EQ(field(HandBoxField::CloudTemp), QStringLiteral("44.3"));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Processing, TemperatureOffShowsPlaceholders)
{
    weather().TempEnabled = false;
    runCycles(1);
    EXPECT_EQ(field(HandBoxField::TPTemp), QStringLiteral("-99"));
    EXPECT_EQ(field(HandBoxField::CloudTemp), QStringLiteral("-99.0"));
    EXPECT_EQ(field(HandBoxField::Raw_RH), QStringLiteral("999"));
    EXPECT_EQ(field(HandBoxField::Raw_TP), QStringLiteral("999"));
    EXPECT_EQ(field(HandBoxField::LabelClouds), QStringLiteral("999.0"));
    EXPECT_EQ(field(HandBoxField::Cloud_Sky), QStringLiteral("-1098.0"));
    EXPECT_EQ(weather().AmbientTempAvgC, -99);
    EXPECT_EQ(back(HandBoxField::Cloud_Sky), VbColor::Red);
    EXPECT_TRUE(lastAlert(AlertKind::Cloud));
}

TEST_F(Processing, IndicatorsAndBoundaries)
{
    settings().RainThreshold = 400;
    settings().LightThreshold = 950;
    port.isOpen = true;
    QString r = withField(withField(kTestRecord, 21, "0400"), 14, "0950");
    r = withField(withField(r, 74, "2"), 84, "1");
    port.answers = {{PortResult::Ok, r}};
    cycle.run();
    EXPECT_FALSE(lastAlert(AlertKind::Rain));
    EXPECT_TRUE(lastAlert(AlertKind::Light));
    EXPECT_EQ(field(HandBoxField::HeaterOn), QStringLiteral("?"));
    EXPECT_EQ(back(HandBoxField::HeaterOn), VbColor::Yellow);
    EXPECT_EQ(field(HandBoxField::RelayOn), QStringLiteral("Y"));
    EXPECT_EQ(back(HandBoxField::RelayOn), VbColor::Red);

    port.answers = {{PortResult::Ok, withField(withField(kTestRecord, 21, "0401"), 14, "0951")}};
    cycle.run();
    EXPECT_TRUE(lastAlert(AlertKind::Rain));
    EXPECT_EQ(back(HandBoxField::LabelRain), VbColor::Red);
    EXPECT_FALSE(lastAlert(AlertKind::Light));

    port.answers = {{PortResult::Ok, withField(withField(kTestRecord, 14, "0000"), 5, "0999")}};
    cycle.run();
    EXPECT_EQ(field(HandBoxField::Label_SkyBright), QStringLiteral("0"));
    EXPECT_EQ(back(HandBoxField::LabelCloudsNarrow), VbColor::Red);

    port.answers = {{PortResult::Ok, withField(kTestRecord, 38, "-00250")}};
    cycle.run();
    EXPECT_EQ(field(HandBoxField::Raw_TP), QStringLiteral("-2.5"));
    EXPECT_EQ(back(HandBoxField::LabelCloudsNarrow), VbColor::White);
}

TEST_F(Processing, SkyBrightnessWithALeadingOneIsReadWhole)
{
    settings().LightThreshold = 1000;
    connectBoard(withField(kTestRecord, 14, "1023"));
    cycle.run();
    EXPECT_EQ(field(HandBoxField::Label_SkyBright), QStringLiteral("1023"));
    EXPECT_FALSE(lastAlert(AlertKind::Light)); // 1023 counts is darker than 1000
}

TEST_F(Processing, CloudColoursAtTheLevels)
{
    // Ambient reads back 26; the sky temperature sets the difference.
    settings().PartCloudyDegC = 22;
    settings().FullCloudyDegC = 19;
    port.isOpen = true;
    const struct {
        const char *tp;
        uint32_t colour;
        bool cloudy;
    } cases[] = {{"+00400", VbColor::Green, true},   // D = 22
                 {"+00450", VbColor::Yellow, true},  // D = 21.5
                 {"+00700", VbColor::Red, true},     // D = 19
                 {"+00350", VbColor::Green, false}}; // D = 22.5
    for (const auto &c : cases) {
        port.answers = {{PortResult::Ok, withField(kTestRecord, 38, QLatin1String(c.tp))}};
        cycle.run();
        EXPECT_EQ(back(HandBoxField::Cloud_Sky), c.colour) << c.tp;
        EXPECT_EQ(lastAlert(AlertKind::Cloud), c.cloudy) << c.tp;
    }
}

TEST_F(Processing, FifthWindWindowSendsTheReportThenTheLogLine)
{
    settings().WindsAvgCnt = 10;
    std::vector<int> reportCycles;
    QStringList order;
    int cycleNo = 0;
    onReport = [&] {
        reportCycles.push_back(cycleNo);
        order << "report";
    };
    onLogLine = [&] { order << "log"; };
    for (cycleNo = 1; cycleNo <= 150; ++cycleNo)
        cycle.run();
    EXPECT_EQ(reportCycles, (std::vector<int>{50, 100, 150}));
    EXPECT_EQ(order.mid(0, 2), (QStringList{"report", "log"}));
    EXPECT_EQ(weather().WindAverageCount, 0);

    weather().WindEnabled = false;
    for (int k = 0; k < 50; ++k)
        cycle.run();
    EXPECT_EQ(reportCycles.size(), 3u);
}

TEST_F(Processing, WindWindowMeanGustAndReset)
{
    settings().WindsAvgCnt = 2;
    settings().StepTime = 0.01;
    settings().MaxInc = 1;
    port.isOpen = true;
    port.answers = {{PortResult::Ok, withField(kTestRecord, 30, "0100")},  // 2.0
                    {PortResult::Ok, withField(kTestRecord, 30, "0300")}}; // 4.0
    runCycles(2);
    EXPECT_DOUBLE_EQ(weather().WindSpeed, 3);
    EXPECT_EQ(field(HandBoxField::WindsAvgTF), QStringLiteral("3.0"));
    EXPECT_EQ(weather().WindGust, 4);
    EXPECT_EQ(field(HandBoxField::WindsGustsTF), QStringLiteral("4.0"));
    EXPECT_EQ(field(HandBoxField::RawWindTF), QStringLiteral("300"));
    EXPECT_EQ(field(HandBoxField::WindCurrentTF), QStringLiteral("4.0"));

    // Calm until the 300th cycle: the gust resets to 0, its display stays.
    port.standingAnswer = FakeStationPort::Answer{PortResult::Ok, kTestRecord};
    runCycles(297);
    EXPECT_EQ(weather().WindGust, 4);
    runCycles(1);
    EXPECT_EQ(weather().WindGust, 0);
    EXPECT_EQ(weather().GustCycleCount, 0);
    EXPECT_EQ(field(HandBoxField::WindsGustsTF), QStringLiteral("4.0"));
    port.answers = {{PortResult::Ok, withField(kTestRecord, 30, "0050")}};
    runCycles(1);
    EXPECT_DOUBLE_EQ(weather().WindGust, 1.5);
}

TEST_F(Processing, WindyAtTheThresholdInCounts)
{
    settings().WindsAvgCnt = 1;
    settings().StepTime = 0.5;
    settings().MaxInc = 0;
    settings().WindThreshold = 300;
    port.isOpen = true;
    port.answers = {{PortResult::Ok, withField(kTestRecord, 30, "0300")},
                    {PortResult::Ok, withField(kTestRecord, 30, "0299")}};
    cycle.run();
    EXPECT_TRUE(lastAlert(AlertKind::Wind));
    cycle.run();
    EXPECT_FALSE(lastAlert(AlertKind::Wind));
}

TEST_F(Processing, WindowSizesOutOfRangeAreLimitedOnceWithAMessage)
{
    settings().WindsAvgCnt = 0;
    settings().TempsAvgCount = 400;
    runCycles(3);
    EXPECT_EQ(settings().WindsAvgCnt, 1);
    EXPECT_EQ(settings().TempsAvgCount, 300);
    EXPECT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages.join(" ").contains(QStringLiteral("WindsAvgCnt")));
    EXPECT_EQ(weather().WindSampleIndex, 1); // windows keep completing
}

namespace {
struct RecordingTraffic : TrafficApi {
    QStringList lines;
    bool tempOn = true;
    void TrafficLine(const QString &t) override { lines << t; }
    void TrafficStart(const QString &) override {}
    void TrafficEnd(const QString &) override {}
    void TrafficChar(const QString &) override {}
    bool groupEnabled(TrafficGroup g) const override { return g == TrafficGroup::TempRelated && tempOn; }
};
} // namespace

TEST_F(Processing, AveragingTrafficLines)
{
    RecordingTraffic traffic;
    prog().TrafficWindow = &traffic;
    settings().WindsAvgCnt = 2;
    settings().StepTime = 0.01;
    port.isOpen = true;
    port.answers = {{PortResult::Ok, withField(kTestRecord, 30, "0150")}, {PortResult::Ok, kTestRecord}};
    runCycles(2);
    EXPECT_EQ(traffic.lines, (QStringList{"board live on /dev/fake0: records arrive", "Averageing 2.5", "Averageing 0",
                                          "Final Average 1.25"}));
    traffic.tempOn = false;
    runCycles(2);
    EXPECT_EQ(traffic.lines.size(), 4);
}

TEST_F(Processing, WorksWithoutAHandBoxWindow)
{
    WatchModel fresh{settings(), state};
    StationContext detached{settings(), state, fresh};
    StationCycle detachedCycle{link, detached};
    for (int k = 0; k < 3; ++k)
        detachedCycle.run();
    EXPECT_EQ(weather().RainReading, 321);
    EXPECT_NEAR(weather().DewPointC, 21.15, 0.01);
}

TEST_F(Processing, EveryProcessedRecordPublishesOneObservation)
{
    std::vector<Observation> seen;
    cycle.addObserver([&](const Observation &o) { seen.push_back(o); });
    const QDateTime at(QDate(2026, 12, 7), QTime(21, 30), Qt::UTC);
    ctx.utcClock = [at] { return at; };

    runCycles(1); // no board: the built-in test record
    ASSERT_EQ(seen.size(), 1u);
    const Observation &o = seen[0];
    EXPECT_EQ(o.source, ObservationSource::TestRecord);
    EXPECT_EQ(o.utc, at);
    EXPECT_DOUBLE_EQ(o.ambientC, 26.31);
    EXPECT_DOUBLE_EQ(o.thermopileC, 44.32);
    EXPECT_DOUBLE_EQ(o.skyC, 1.46);
    EXPECT_DOUBLE_EQ(o.ambientMinusSkyC, 24.54); // the whole ambient (26) less the shown sky
    EXPECT_NEAR(o.humidityPercent, 72.9, 0.5);
    EXPECT_NEAR(o.dewPointC, 21.15, 0.01);
    EXPECT_EQ(o.rainReading, 321);
    EXPECT_EQ(o.skyBrightness, 1);
    EXPECT_EQ(o.sky, SkyClass::Clear);
    EXPECT_FALSE(o.raining || o.cloudy);
    EXPECT_TRUE(o.daylight); // 1 is brighter than the threshold of 950
    EXPECT_TRUE(o.readings.empty()); // test values are no readings

    // A live record: rain, overcast, humidity marker, heater on.
    QString wet = withField(withField(kTestRecord, 21, "0500"), 5, "0999");
    wet = withField(withField(wet, 38, "+02500"), 74, "1");
    connectBoard(wet);
    runCycles(1);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].source, ObservationSource::Live);
    EXPECT_TRUE(seen[1].raining);
    EXPECT_TRUE(seen[1].cloudy);
    EXPECT_EQ(seen[1].sky, SkyClass::Overcast);
    EXPECT_FALSE(seen[1].readings.has(Quantity::Humidity));
    EXPECT_FALSE(seen[1].readings.has(Quantity::DewPoint));
    EXPECT_EQ(seen[1].readings[Quantity::Rain], 500);
    EXPECT_EQ(seen[1].heater, 1);

    // The poll times out: the last good record is processed again.
    port.standingAnswer.reset();
    port.answers = {{PortResult::TimedOut, QString()}};
    runCycles(1);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[2].source, ObservationSource::Reprocessed);
    EXPECT_EQ(seen[2].rainReading, 500);
}
