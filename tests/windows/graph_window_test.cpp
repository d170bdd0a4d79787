// The graph windows on screen (offscreen): controls, sampling, plotting and
// their place behind the hand box's "Graphs" box.
#include "app/program.h"
#include "temp_profile.h"
#include "station/weather_state.h"
#include "windows/graph_window.h"
#include "windows/graphs_setup.h"
#include "windows/hand_box.h"

#include <QCheckBox>
#include <QLabel>
#include <QScrollBar>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace {

class GraphWindowTest : public ::testing::Test {
protected:
    Observation obs; // what the watch hands the windows each second
    std::unique_ptr<GraphWindow> temps;
    QDateTime now = QDateTime(QDate(2026, 12, 7), QTime(20, 0), Qt::UTC);

    void SetUp() override
    {
        resetProgram();
        temps.reset(newTemperaturesWindow(nullptr));
        temps->setClock([this] { return now; });
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
        for (int i = 0; i < n; ++i) {
            now = now.addSecs(1);
            w.setObservation(obs);
            w.tick();
        }
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

    std::unique_ptr<GraphWindow> wind(newWindHumidityWindow(nullptr));
    EXPECT_EQ(wind->objectName(), QStringLiteral("frmTaskman1"));
    EXPECT_EQ(wind->seriesCount(), 4);
    EXPECT_EQ(wind->findChild<QLabel *>(QStringLiteral("Label75"))->text(), QStringLiteral("75"));
}

// With the board's usual values every line is in sight, in a colour of its
// own, against a scale in its own units: degrees on the left, the board's
// counts (rain average, sky brightness) numbered on the right.
TEST_F(GraphWindowTest, EveryLineShowsAgainstAScaleOfItsOwnUnits)
{
    obs.rainReading = 306;
    obs.skyC = -4.2;
    obs.ambientC = 16.4;
    obs.thermopileC = 16.8;
    obs.rainMean = 306;
    obs.skyBrightness = 162;
    temps->show();
    ticks(*temps, 5);
    const QList<QAbstractAxis *> degrees = temps->series(0)->attachedAxes();
    std::set<QRgb> colours;
    for (int i = 0; i < temps->seriesCount(); ++i) {
        QLineSeries *s = temps->series(i);
        colours.insert(s->color().rgb());
        ASSERT_EQ(s->count(), 1) << i;
        const QValueAxis *scale = nullptr;
        for (QAbstractAxis *a : s->attachedAxes())
            if (a->orientation() == Qt::Vertical)
                scale = qobject_cast<QValueAxis *>(a);
        ASSERT_NE(scale, nullptr) << i;
        EXPECT_GE(s->at(0).y(), scale->min()) << i;
        EXPECT_LE(s->at(0).y(), scale->max()) << i;
        const bool counts = i >= 4;
        EXPECT_EQ(degrees.contains(scale), !counts) << i;
        if (counts) {
            EXPECT_EQ(scale->alignment(), Qt::AlignRight);
            EXPECT_TRUE(scale->labelsVisible());
            EXPECT_EQ(scale->titleText(), QStringLiteral("counts"));
        }
    }
    EXPECT_EQ(colours.size(), size_t(temps->seriesCount()));
    EXPECT_EQ(temps->series(4)->at(0).y(), 306);
    EXPECT_EQ(temps->series(5)->at(0).y(), 162);
}

TEST_F(GraphWindowTest, FirstPointAfterFiveSamplesHiddenSeriesStillPlotted)
{
    obs.rainReading = 300;
    obs.skyBrightness = 450;
    boxes(temps.get())[5]->setChecked(false);
    EXPECT_FALSE(temps->series(5)->isVisible());

    ticks(*temps, 4);
    EXPECT_EQ(temps->series(0)->count(), 0);
    ticks(*temps, 1);
    ASSERT_EQ(temps->series(5)->count(), 1);
    EXPECT_EQ(temps->series(5)->at(0).y(), 450);
    EXPECT_EQ(temps->series(0)->at(0).y(), 0);
    EXPECT_EQ(temps->series(1)->at(0).y(), 0);

    // The hidden series' label still follows its point, on the scale of counts:
    // H x (1200 - 450) / 1200, with H = 3345 - 1095 - 255 (times) - 255 = 1740
    // twips at the load height: 1088 twips, 73 pixels. The four tags at 0 degrees
    // (67 pixels) stack above it and A1T (0 counts) is held at the plot's foot
    // (116), so it sits just above A1T, at 99.
    ASSERT_EQ(temps->height(), 223);
    EXPECT_EQ(temps->findChild<QLabel *>(QStringLiteral("BrightSky_Lab"))->y(), 99);
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
    obs.ambientC = 12.34;
    ticks(*temps, 1);
    EXPECT_EQ(temps->series(2)->at(0).y(), 123);
}

TEST_F(GraphWindowTest, ObservationsAreSampledOnArrivalAndTheTimerOnlyFillsIn)
{
    for (int i = 0; i < 5; ++i) {
        now = now.addSecs(1);
        temps->sampleArrival(obs);
    }
    EXPECT_EQ(temps->series(0)->count(), 1);
    EXPECT_EQ(temps->sampleTimer().interval(), 1500);
    // None follows: the timer takes the samples again, every second.
    QSignalSpy ticked(&temps->sampleTimer(), &QTimer::timeout);
    ASSERT_TRUE(ticked.wait(3000));
    EXPECT_EQ(temps->sampleCount(), 1);
    EXPECT_EQ(temps->sampleTimer().interval(), 1000);
    EXPECT_TRUE(temps->sampleTimer().isActive());
    // Updates off: an arrival takes no sample and starts no timer.
    bar(temps.get())->setValue(0);
    temps->sampleArrival(obs);
    EXPECT_EQ(temps->sampleCount(), 0);
    EXPECT_FALSE(temps->sampleTimer().isActive());
}

TEST(GraphsBehindHandBox, GraphsBoxShowsHidesAndUnloadsBoth)
{
    resetProgram();
    TempProfile profile;
    prog().profile = profile.store.get();
    WeatherState weather;
    WatchModel model(prog().settings, weather);
    auto box = std::make_unique<HandBox>(model);
    GraphWindows graphs;
    box->setActions({.showGraphs = [&](bool show) { graphs.show(show, box.get()); }});
    box->show();

    model.setCheckState(HandBoxField::GraphCheck1, 1);
    GraphWindow *temps = graphs.temperatures();
    GraphWindow *wind = graphs.windHumidity();
    ASSERT_TRUE(temps && wind);
    EXPECT_EQ(temps->parentWidget(), box.get());
    EXPECT_TRUE(temps->isVisible() && wind->isVisible());
    for (int i = 0; i < 5; ++i)
        wind->tick();
    EXPECT_EQ(wind->series(0)->count(), 0) << "nothing to plot before the first observation";
    graphs.offerObservation(Observation{});
    for (int i = 0; i < 5; ++i)
        wind->tick();

    model.setCheckState(HandBoxField::GraphCheck1, 0);
    EXPECT_FALSE(temps->isVisible() || wind->isVisible());
    EXPECT_TRUE(wind->sampleTimer().isActive()); // hidden windows keep sampling
    model.setCheckState(HandBoxField::GraphCheck1, 1);
    EXPECT_EQ(graphs.temperatures(), temps);
    EXPECT_EQ(wind->series(0)->count(), 1);
    // Zero values: all four tags want H x 0.8333 = 1450 twips (H = 1740
    // twips at the load height), 97 pixels; they stack without overlapping, the
    // lowest at the plot's foot (133 - 17 pixels).
    ASSERT_EQ(wind->height(), 223);
    QList<int> tops;
    for (const char *name : {"CS_Label", "ST_label", "AMB_Label", "TP_Label"})
        tops << wind->findChild<QLabel *>(QString::fromLatin1(name))->y();
    std::sort(tops.begin(), tops.end());
    EXPECT_EQ(tops, QList<int>({65, 82, 99, 116}));

    graphs.unload();
    EXPECT_EQ(graphs.temperatures(), nullptr);
    EXPECT_EQ(graphs.windHumidity(), nullptr);
    box.reset();
    resetProgram();
}

TEST_F(GraphWindowTest, SeriesKeepOnlyTheSpanInViewHoweverLongTheWindowRuns)
{
    boxes(temps.get())[2]->setChecked(false); // hidden series are bounded too
    ticks(*temps, 5 * 1000);
    for (int i = 0; i < temps->seriesCount(); ++i) {
        const QLineSeries *s = temps->series(i);
        ASSERT_EQ(s->count(), kGraphPoints + 1) << i;
        EXPECT_EQ(qint64(s->at(s->count() - 1).x()), now.toMSecsSinceEpoch());
        EXPECT_EQ(qint64(s->at(0).x()), now.addSecs(-15 * 60).toMSecsSinceEpoch()); // 180 points of 5 s
    }
    auto *axis = qobject_cast<QDateTimeAxis *>(temps->series(0)->attachedAxes().value(0));
    ASSERT_TRUE(axis);
    EXPECT_EQ(axis->format(), QStringLiteral("HH:mm"));
    EXPECT_EQ(axis->max().toMSecsSinceEpoch(), now.toMSecsSinceEpoch());

    // One-second points: the view shrinks to three minutes and the older points go.
    bar(temps.get())->setValue(300);
    ticks(*temps, 10);
    EXPECT_EQ(qint64(temps->series(0)->at(0).x()), now.addSecs(-180).toMSecsSinceEpoch());
    EXPECT_LE(temps->series(0)->count(), kGraphPoints + 1);

    // Tags stay in their own column, clear of each other and of the axis numbers.
    QRect chart = temps->findChild<QWidget *>(QStringLiteral("Graph1"))->geometry();
    QList<QRect> tags;
    for (const char *name : {"CS_Label", "ST_label", "AMB_Label", "TP_Label", "AMB1_Label", "BrightSky_Lab"}) {
        const QRect r = temps->findChild<QLabel *>(QString::fromLatin1(name))->geometry();
        EXPECT_GE(r.left(), chart.right());
        for (const QRect &other : tags)
            EXPECT_FALSE(r.intersects(other)) << name;
        tags << r;
    }
}

TEST_F(GraphWindowTest, OpensWithTheArchivesPointsForTheSpanInView)
{
    QDateTime asked[2];
    temps->setHistorySource([&](QDateTime from, QDateTime to) {
        asked[0] = from;
        asked[1] = to;
        std::vector<Observation> list;
        for (int s = 1; s <= 20 * 60; ++s) { // one a second for 20 minutes, newest first
            Observation o;
            o.utc = now.addSecs(-s);
            o.ambientC = (s % 2) ? 12.3 : 12.5; // five a bin: 12.42 on average
            o.skyBrightness = 450;
            list.push_back(o);
        }
        return list;
    });
    temps->fillFromHistory();
    EXPECT_EQ(asked[0], now.addSecs(-15 * 60));
    EXPECT_EQ(asked[1], now);
    const QLineSeries *ambient = temps->series(2);
    ASSERT_EQ(ambient->count(), kGraphPoints);
    EXPECT_EQ(qint64(ambient->at(kGraphPoints - 1).x()), now.toMSecsSinceEpoch());
    EXPECT_EQ(qint64(ambient->at(0).x()), now.addSecs(-15 * 60 + 5).toMSecsSinceEpoch());
    EXPECT_NEAR(ambient->at(10).y(), 124, 0.5);
    EXPECT_EQ(temps->series(5)->at(0).y(), 450); // counts

    // Live points carry on from there, and the view stays bounded.
    ticks(*temps, 5);
    EXPECT_EQ(ambient->count(), kGraphPoints + 1);

    // An archive that fails or has nothing leaves the chart as it is.
    temps->setHistorySource([](QDateTime, QDateTime) -> std::vector<Observation> { throw std::runtime_error("gone"); });
    temps->fillFromHistory();
    temps->setHistorySource([](QDateTime, QDateTime) { return std::vector<Observation>{}; });
    temps->fillFromHistory();
    EXPECT_EQ(ambient->count(), kGraphPoints + 1);
}
