// The graph windows on screen (offscreen): controls, sampling, plotting and
// their place behind the hand box's "Graphs" box.
#include "core/program.h"
#include "temp_profile.h"
#include "station/weather_state.h"
#include "windows/graph_window.h"
#include "windows/graphs_setup.h"
#include "windows/hand_box.h"

#include <QCheckBox>
#include <QLabel>
#include <QScrollBar>
#include <QtCharts/QLineSeries>
#include <gtest/gtest.h>
#include <map>

namespace {

class GraphWindowTest : public ::testing::Test {
protected:
    WeatherState weather;
    std::map<HandBoxField, QString> fields;
    std::unique_ptr<GraphWindow> temps;

    void SetUp() override
    {
        resetProgram();
        temps.reset(newTemperaturesWindow(weather, nullptr, nullptr));
        temps->setFieldReader([this](HandBoxField f) { return fields.count(f) ? fields.at(f) : QString(); });
    }
    void TearDown() override { resetProgram(); }

    QList<QCheckBox *> boxes(QWidget *w) const
    {
        QList<QCheckBox *> list = w->findChildren<QCheckBox *>(QStringLiteral("chkVisible"));
        std::sort(list.begin(), list.end(),
                  [](QCheckBox *a, QCheckBox *b) { return a->property("index").toInt() < b->property("index").toInt(); });
        return list;
    }
    QScrollBar *bar(QWidget *w) const { return w->findChild<QScrollBar *>(QStringLiteral("HScroll1")); }
    QString rate(QWidget *w) const { return w->findChild<QLabel *>(QStringLiteral("UpdateRate"))->text(); }
    void ticks(GraphWindow &w, int n)
    {
        for (int i = 0; i < n; ++i)
            w.tick();
    }
};

} // namespace

TEST_F(GraphWindowTest, LoadsWithItsSeriesAndAFiveSecondRate)
{
    EXPECT_EQ(temps->windowTitle(), QStringLiteral("Temperatures degC"));
    QStringList captions;
    for (QCheckBox *b : boxes(temps.get())) {
        captions << b->text();
        EXPECT_TRUE(b->isChecked());
    }
    EXPECT_EQ(captions, QStringList({"Rain", "Sky Temp", "Ambient Temp", "TP Temp", "Amb1 Temp", "SkyBrightness"}));
    EXPECT_EQ(temps->series(5)->color(), QColor(128, 128, 255));
    EXPECT_EQ(bar(temps.get())->value(), 296);
    EXPECT_EQ(bar(temps.get())->maximum(), 300);
    EXPECT_EQ(rate(temps.get()), QStringLiteral("0 Min 5 Sec"));
    EXPECT_TRUE(temps->sampleTimer().isActive());
    EXPECT_EQ(temps->sampleTimer().interval(), 1000);

    std::unique_ptr<GraphWindow> wind(newWindHumidityWindow(weather, nullptr, nullptr));
    EXPECT_EQ(wind->objectName(), QStringLiteral("frmTaskman1"));
    EXPECT_EQ(wind->seriesCount(), 4);
    EXPECT_EQ(wind->findChild<QLabel *>(QStringLiteral("Label75"))->text(), QStringLiteral("75"));
}

TEST_F(GraphWindowTest, FirstPointAfterFiveSamplesHiddenSeriesStillPlotted)
{
    weather.RainReading = 300;
    fields[HandBoxField::Label_SkyBright] = QStringLiteral("450");
    fields[HandBoxField::LabelClouds] = QStringLiteral("not yet");
    boxes(temps.get())[5]->setChecked(false);
    EXPECT_FALSE(temps->series(5)->isVisible());

    ticks(*temps, 4);
    EXPECT_EQ(temps->series(0)->count(), 0);
    ticks(*temps, 1);
    ASSERT_EQ(temps->series(5)->count(), 1);
    EXPECT_EQ(temps->series(5)->at(0).y(), 200);
    EXPECT_EQ(temps->series(0)->at(0).y(), 0);
    EXPECT_EQ(temps->series(1)->at(0).y(), 0);

    // The hidden series' label still follows its point: H x (550 - 200) / 950, with
    // H = 3345 - 1095 - 255 = 1995 twips at the load height: 735 twips, 49 pixels.
    ASSERT_EQ(temps->height(), 223);
    EXPECT_EQ(temps->findChild<QLabel *>(QStringLiteral("BrightSky_Lab"))->y(), 49);
    ticks(*temps, 5);
    EXPECT_EQ(temps->series(5)->count(), 2);
}

TEST_F(GraphWindowTest, BarAtLeftEndStopsUpdatesAndMovingItRestartsEmpty)
{
    ticks(*temps, 3);
    bar(temps.get())->setValue(0);
    EXPECT_EQ(rate(temps.get()), QStringLiteral("Update Off"));
    EXPECT_FALSE(temps->sampleTimer().isActive());

    bar(temps.get())->setValue(300);
    EXPECT_EQ(rate(temps.get()), QStringLiteral("0 Min 1 Sec"));
    EXPECT_TRUE(temps->sampleTimer().isActive());
    EXPECT_EQ(temps->sampleCount(), 0);
    weather.AmbientTempAvgC = 12.34;
    ticks(*temps, 1);
    EXPECT_EQ(temps->series(2)->at(0).y(), 123);
}

TEST(GraphsBehindHandBox, GraphsBoxShowsHidesAndUnloadsBoth)
{
    resetProgram();
    TempProfile profile;
    prog().profile = profile.store.get();
    WeatherState weather;
    auto box = std::make_unique<HandBox>(weather);
    box->setActions({.showGraphs = [&](bool show) { showGraphs(show, weather, box.get()); }});
    box->show();

    box->setCheckState(HandBoxField::GraphCheck1, 1);
    GraphWindow *temps = temperaturesGraph();
    GraphWindow *wind = windHumidityGraph();
    ASSERT_TRUE(temps && wind);
    EXPECT_EQ(temps->parentWidget(), box.get());
    EXPECT_TRUE(temps->isVisible() && wind->isVisible());
    for (int i = 0; i < 5; ++i)
        wind->tick();

    box->setCheckState(HandBoxField::GraphCheck1, 0);
    EXPECT_FALSE(temps->isVisible() || wind->isVisible());
    EXPECT_TRUE(wind->sampleTimer().isActive()); // hidden windows keep sampling
    box->setCheckState(HandBoxField::GraphCheck1, 1);
    EXPECT_EQ(temperaturesGraph(), temps);
    EXPECT_EQ(wind->series(0)->count(), 1);
    // Empty fields sample as 0; the label sits at H x 0.8333 = 1662 twips (H = 1995 twips
    // at the load height), 111 pixels.
    ASSERT_EQ(wind->height(), 223);
    EXPECT_EQ(wind->findChild<QLabel *>(QStringLiteral("CS_Label"))->y(), 111);

    unloadGraphs();
    EXPECT_EQ(temperaturesGraph(), nullptr);
    EXPECT_EQ(windHumidityGraph(), nullptr);
    box.reset();
    resetProgram();
}
