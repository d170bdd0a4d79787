// What the graph windows compute, free of widgets: the update-rate rule and its
// caption, the samples each series takes, the averaging into plotted points,
// and where the margin and axis labels go (in twips, as the windows lay out).
#pragma once

#include "watch/observation.h"

#include <QString>
#include <functional>
#include <vector>

namespace GraphRate {
constexpr int kBarMin = 0;
// The bar stops at 300: at 301 the interval would be 0 and never plot.
constexpr int kBarMax = 300;
constexpr int kBarAtLoad = 296; // 5 samples per point
constexpr int kOff = 301;       // interval meaning "no updates"
} // namespace GraphRate

// Samples per plotted point for a bar value (301 - value; 301 is off).
int intervalFromBar(int barValue);
// "0 Min 5 Sec", "5 Min 0 Sec", or "Update Off".
QString updateRateCaption(int interval);

// One sample per series, in series order, from a live or an archived
// observation. The rain average and the sky brightness are board counts.
std::vector<double> temperatureSamples(const Observation &o);
std::vector<double> windHumiditySamples(const Observation &o);

// Plotted values: temperatures in tenths, wind/humidity and board counts as
// they are; all rounded to an integer, halves to even.
double temperaturePlotValue(double average);
double windHumidityPlotValue(double average);
double countPlotValue(double average);

// The scale of board counts beside a chart's own (counts reach 1023).
namespace CountScale {
constexpr double kMinimum = 0;
constexpr double kMaximum = 1200;
constexpr int kLabels = 5; // every 300
} // namespace CountScale

// Top of a series' margin label, for a chart area of height h (twips).
double temperatureLabelTop(double h, double plotted, double maximum, double minimum);
double windHumidityLabelTop(double h, double average);

// Running sums per series; a point is due when the interval's samples are in.
class SeriesAverager {
public:
    explicit SeriesAverager(int seriesCount);

    // A new interval discards the samples gathered so far.
    void setInterval(int interval);
    int interval() const { return m_interval; }
    int sampleCount() const { return m_count; }
    const std::vector<double> &sums() const { return m_sums; }

    // Adds one sample per series. When the interval completes, returns true with
    // the averages in `averages` and starts again from empty sums.
    bool add(const std::vector<double> &samples, std::vector<double> &averages);

private:
    std::vector<double> m_sums;
    int m_interval = 0;
    int m_count = 0;
};

// Layout of a graph window (twips). `chartHeight` is the inner height less the
// bottom panel.
struct GraphLabelTops {
    double minLabel = 0;
    double zero = 0;
    double l25 = 0, l50 = 0, l75 = 0; // wind/humidity only
};
GraphLabelTops temperatureAxisLabelTops(double chartHeight, double maximum, double minimum);
GraphLabelTops windHumidityAxisLabelTops(double chartHeight);

// Tops for labels of one height, each as near its wanted top as it can be
// without overlapping another, all within [0, bottom - height]; when they
// cannot all fit they share the room evenly. Same order as `wanted`.
std::vector<double> spreadLabelTops(const std::vector<double> &wanted, double height, double bottom);
