// The strip-chart windows frmTaskman ("Temperatures degC") and frmTaskman1
// ("WindHumidity"): a one-second sampling timer, an update rate set by HScroll1,
// one coloured series per value that can be hidden, and margin labels that
// follow each series' latest point.
#pragma once

#include "windows/graph_history.h"
#include "windows/graph_sampling.h"

#include <QColor>
#include <QTimer>
#include <QWidget>
#include <optional>
#include <vector>

class QChart;
class QChartView;
class QCheckBox;
class QLabel;
class QLineSeries;
class QScrollBar;
class QDateTimeAxis;
class QValueAxis;

struct GraphSeriesDef {
    const char *checkCaption;
    QColor color;
    const char *labelName;
    const char *labelCaption;
    bool onCountScale = false; // plotted as board counts against the scale at the right
};

struct GraphAxisLabelDef {
    const char *name;
    const char *caption;
};

struct GraphWindowDef {
    const char *objectName;
    const char *title;
    const char *chartName;
    double maximum;
    double minimum;
    double step; // grid step
    std::vector<GraphSeriesDef> series;
    std::vector<GraphAxisLabelDef> axisLabels;
    std::function<std::vector<double>(const Observation &)> samples; // live and archived alike
    std::function<double(double average)> plotValue; // for the series on the chart's own scale
    // Margin label top (twips) from the chart height, the average and its plotted value.
    std::function<double(double h, double average, double plotted, double maximum, double minimum)> labelTop;
    std::function<GraphLabelTops(double chartHeight, double maximum, double minimum)> axisLabelTops;
};

class GraphWindow : public QWidget {
    Q_OBJECT
public:
    explicit GraphWindow(const GraphWindowDef &def, QWidget *owner = nullptr);

    // The latest observation, handed in on the window's thread; each tick samples it.
    void setObservation(const Observation &o) { m_latest = o; }

    // One tick of tmrChange: take a sample, plot when the interval is complete.
    // Before the first observation there is nothing to sample.
    void tick();
    // A new observation is the second's sample: it is taken on the wake-up that
    // brought it, and the timer ticks only when no observation follows within
    // a second and a half (then again every second).
    void sampleArrival(const Observation &o);

    // Where the points of the span in view come from when the window opens or
    // its interval changes (none: the chart starts empty).
    void setHistorySource(GraphHistorySource source) { m_history = std::move(source); }
    // Replaces the points in view by the archive's for the span now shown;
    // an archive with nothing for the span leaves the chart as it is.
    void fillFromHistory();
    // The clock points are placed by (UTC).
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

    int interval() const { return m_averager.interval(); }
    int sampleCount() const { return m_averager.sampleCount(); }
    QLineSeries *series(int index) const { return m_series.at(size_t(index)); }
    int seriesCount() const { return int(m_series.size()); }
    QTimer &sampleTimer() { return m_timer; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildControls();
    void buildChart();
    void addSeries(size_t index);
    void buildRateControls();
    void onUpdateRate(int barValue);
    void plot(const std::vector<double> &averages);
    void layoutControls();
    void placeTags();
    void showSpanEndingAt(qint64 endMs);
    void buildCountAxis();
    QValueAxis *axisOf(size_t series) const;
    double plotted(size_t series, double average) const;

    GraphWindowDef m_def;
    std::optional<Observation> m_latest;
    SeriesAverager m_averager;
    QTimer m_timer;
    QChart *m_chart = nullptr;
    QChartView *m_chartView = nullptr;
    QDateTimeAxis *m_xAxis = nullptr;
    QValueAxis *m_yAxis = nullptr;
    QValueAxis *m_countAxis = nullptr; // only with series of counts
    QWidget *m_picHolder = nullptr;
    QScrollBar *m_bar = nullptr;
    QLabel *m_updateRate = nullptr;
    std::vector<QLineSeries *> m_series;
    std::vector<QCheckBox *> m_checks;
    std::vector<QLabel *> m_marginLabels;
    std::vector<QLabel *> m_axisLabels;
    std::vector<double> m_tagTops; // wanted tops in twips, from the last plot
    GraphHistorySource m_history;
    std::function<QDateTime()> m_clock;
    qint64 m_spanMs = 0;
};

// frmTaskman, "Temperatures degC", six series: four in degrees, two in counts.
GraphWindow *newTemperaturesWindow(QWidget *owner);
// frmTaskman1, "WindHumidity", four series.
GraphWindow *newWindHumidityWindow(QWidget *owner);
