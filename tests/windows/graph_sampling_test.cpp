// The graph windows' pure rules: update rate, samples, averaging, plotted
// values.
#include "windows/graph_sampling.h"

#include <QHash>
#include <cmath>
#include <gtest/gtest.h>
#include <map>

TEST(GraphSampling, UpdateRateRuleAndCaptions)
{
    EXPECT_EQ(intervalFromBar(GraphRate::kBarAtLoad), 5);
    EXPECT_EQ(updateRateCaption(5), QStringLiteral("0 Min 5 Sec"));
    EXPECT_EQ(updateRateCaption(intervalFromBar(1)), QStringLiteral("5 Min 0 Sec"));
    EXPECT_EQ(updateRateCaption(intervalFromBar(236)), QStringLiteral("1 Min 5 Sec"));
    EXPECT_EQ(intervalFromBar(GraphRate::kBarMin), GraphRate::kOff);
    EXPECT_EQ(updateRateCaption(GraphRate::kOff), QStringLiteral("Update Off"));
    // The bar's right end still plots, every second.
    EXPECT_EQ(intervalFromBar(GraphRate::kBarMax), 1);
    EXPECT_EQ(updateRateCaption(1), QStringLiteral("0 Min 1 Sec"));
}

TEST(GraphSampling, SamplesComeFromTheObservation)
{
    Observation o;
    o.rainReading = 300;
    o.skyC = 1.5;
    o.ambientC = 26.31;
    o.thermopileC = 44.32;
    o.rainMean = 321;
    o.skyBrightness = 450;
    o.humidityPercent = 73;
    o.dewPointC = 21.2;
    const std::vector<double> t = temperatureSamples(o);
    ASSERT_EQ(t.size(), 6u);
    EXPECT_EQ(temperaturePlotValue(t[0]), 0);   // rain 300
    EXPECT_EQ(temperaturePlotValue(t[1]), 15);  // sky 1.5
    EXPECT_EQ(temperaturePlotValue(t[2]), 263); // 263.1
    EXPECT_EQ(countPlotValue(t[4]), 321); // the rain average, in counts
    EXPECT_EQ(countPlotValue(t[5]), 450); // the sky brightness, in counts
    o.rainReading = 321;
    EXPECT_DOUBLE_EQ(temperatureSamples(o)[0], 1.05);
    EXPECT_EQ(windHumiditySamples(o), (std::vector<double>{73, 0, 21.2, 26.31}));
}

TEST(GraphSampling, PlottedValuesRoundHalvesToEvenAndNeverFail)
{
    EXPECT_EQ(windHumidityPlotValue(2.5), 2);
    EXPECT_EQ(windHumidityPlotValue(3.5), 4);
    EXPECT_EQ(windHumidityPlotValue(-0.5), 0);
    EXPECT_EQ(temperaturePlotValue(0.25), 2);
    EXPECT_EQ(temperaturePlotValue(1e300), 2147483647);
    EXPECT_EQ(windHumidityPlotValue(std::nan("")), 0);
}

TEST(GraphSampling, AveragerPlotsAfterTheIntervalAndRestartsOnChange)
{
    SeriesAverager a(2);
    a.setInterval(5);
    std::vector<double> avg;
    for (int i = 1; i <= 4; ++i)
        EXPECT_FALSE(a.add({double(i), 10}, avg));
    EXPECT_TRUE(a.add({5, 10}, avg));
    EXPECT_EQ(avg, (std::vector<double>{3, 10}));
    EXPECT_EQ(a.sampleCount(), 0);
    EXPECT_EQ(a.sums(), (std::vector<double>{0, 0}));

    a.add({7, 7}, avg);
    a.setInterval(2);
    EXPECT_EQ(a.sums(), (std::vector<double>{0, 0}));
    EXPECT_FALSE(a.add({1, 1}, avg));
    EXPECT_TRUE(a.add({3, 5}, avg));
    EXPECT_EQ(avg, (std::vector<double>{2, 3}));

    a.setInterval(GraphRate::kOff);
    for (int i = 0; i < 300; ++i)
        EXPECT_FALSE(a.add({1, 1}, avg));
}

TEST(GraphTags, SpreadWithoutOverlapNearWhereTheyWantToBe)
{
    // Apart already: unchanged.
    EXPECT_EQ(spreadLabelTops({10, 50, 30}, 17, 150), (std::vector<double>{10, 50, 30}));
    // Crowded in the middle: stacked downwards in order.
    EXPECT_EQ(spreadLabelTops({60, 60, 65}, 17, 150), (std::vector<double>{60, 77, 94}));
    // Crowded at the foot: pushed up from the bottom edge.
    EXPECT_EQ(spreadLabelTops({140, 140, 200}, 17, 150), (std::vector<double>{99, 116, 133}));
    // No room for all: shared out evenly.
    EXPECT_EQ(spreadLabelTops({0, 0, 0}, 17, 30), (std::vector<double>{0, 6.5, 13}));
}
