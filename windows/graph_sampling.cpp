#include "windows/graph_sampling.h"

#include "core/number_format.h"

#include <algorithm>
#include <climits>
#include <cmath>

int intervalFromBar(int barValue)
{
    return GraphRate::kOff - barValue;
}

QString updateRateCaption(int interval)
{
    if (interval == GraphRate::kOff)
        return QStringLiteral("Update Off");
    return formatNumber(interval / 60, "0") + QStringLiteral(" Min ") + formatNumber(interval % 60, "0")
           + QStringLiteral(" Sec");
}

std::vector<double> temperatureSamples(const Observation &o)
{
    return {(o.rainReading - 300) / 20.0, o.skyC, o.ambientC, o.thermopileC, o.rainMean, double(o.skyBrightness)};
}

std::vector<double> windHumiditySamples(const Observation &o)
{
    return {o.humidityPercent, o.windCurrent, o.dewPointC, o.ambientC};
}

namespace {
// Rounds halves to even; a value outside the integer range is held at its edge
// rather than failing the tick (a field can hold any number the user typed).
double roundedForPlot(double v)
{
    if (std::isnan(v))
        return 0;
    return toInt32(std::clamp(v, double(INT32_MIN), double(INT32_MAX)));
}
} // namespace

double temperaturePlotValue(double average)
{
    return roundedForPlot(average * 10);
}

double windHumidityPlotValue(double average)
{
    return roundedForPlot(average);
}

double countPlotValue(double average)
{
    return roundedForPlot(average);
}

double temperatureLabelTop(double h, double plotted, double maximum, double minimum)
{
    return h * (maximum - plotted) / (maximum - minimum);
}

double windHumidityLabelTop(double h, double average)
{
    return h * 0.8333 - (h / 120) * average;
}

SeriesAverager::SeriesAverager(int seriesCount) : m_sums(size_t(seriesCount), 0.0) {}

void SeriesAverager::setInterval(int interval)
{
    m_interval = interval;
    m_count = 0;
    std::fill(m_sums.begin(), m_sums.end(), 0.0);
}

bool SeriesAverager::add(const std::vector<double> &samples, std::vector<double> &averages)
{
    ++m_count;
    for (size_t i = 0; i < m_sums.size() && i < samples.size(); ++i)
        m_sums[i] += samples[i];
    if (m_count != m_interval)
        return false;
    averages.resize(m_sums.size());
    for (size_t i = 0; i < m_sums.size(); ++i)
        averages[i] = m_sums[i] / m_interval;
    std::fill(m_sums.begin(), m_sums.end(), 0.0);
    m_count = 0;
    return true;
}

GraphLabelTops temperatureAxisLabelTops(double chartHeight, double maximum, double minimum)
{
    GraphLabelTops t;
    t.minLabel = chartHeight - 255;
    t.zero = chartHeight * maximum / (maximum - minimum) - 123;
    return t;
}

GraphLabelTops windHumidityAxisLabelTops(double chartHeight)
{
    GraphLabelTops t;
    t.minLabel = chartHeight - 255;
    t.zero = chartHeight * 5 / 6 - 123;
    t.l50 = chartHeight * 50 / 120 - 123;
    t.l25 = chartHeight * 75 / 120 - 123;
    t.l75 = chartHeight * 25 / 120 - 123;
    return t;
}

std::vector<double> spreadLabelTops(const std::vector<double> &wanted, double height, double bottom)
{
    const size_t n = wanted.size();
    std::vector<size_t> order(n);
    for (size_t i = 0; i < n; ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return wanted[a] < wanted[b]; });
    const double lowest = std::max(0.0, bottom - height);
    std::vector<double> top(n);
    // Down from the top, each below the one above; then up from the bottom.
    for (size_t k = 0; k < n; ++k) {
        const double w = std::clamp(wanted[order[k]], 0.0, lowest);
        top[order[k]] = k == 0 ? w : std::max(w, top[order[k - 1]] + height);
    }
    for (size_t k = n; k-- > 0;) {
        const double limit = k + 1 == n ? lowest : top[order[k + 1]] - height;
        top[order[k]] = std::min(top[order[k]], limit);
    }
    if (n > 1 && top[order[0]] < 0) {
        for (size_t k = 0; k < n; ++k)
            top[order[k]] = lowest * double(k) / double(n - 1);
    }
    return top;
}
