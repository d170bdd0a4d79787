#include "sky_history/sky_fit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <map>

namespace {

// The clear sky's level among one band's sky readings, sorted coldest first:
// the coldest window of 2 °C that holds a tenth of them (colder strays are
// few; a cloud layer, however dense, lies above the clear sky), then moved
// to the mean of the readings around it until it settles on the cluster's centre.
BaselineBin clusterOf(const std::vector<SkyPoint> &band)
{
    constexpr double kWindowC = 2, kHalfWidthC = 1.5;
    const size_t enough = std::max<size_t>(5, band.size() / 10);
    size_t best = 0;
    for (size_t lo = 0, hi = 0; lo < band.size(); ++lo) {
        while (hi < band.size() && band[hi].skyC - band[lo].skyC <= kWindowC)
            ++hi;
        if (hi - lo >= enough) {
            best = lo;
            break;
        }
    }
    double centre = band[best].skyC + kWindowC / 2;
    BaselineBin bin;
    bin.points = int(band.size());
    for (int round = 0; round < 20; ++round) {
        double sky = 0, sky2 = 0, ambient = 0;
        int n = 0;
        for (const SkyPoint &p : band)
            if (std::abs(p.skyC - centre) <= kHalfWidthC) {
                sky += p.skyC;
                sky2 += p.skyC * p.skyC;
                ambient += p.ambientC;
                ++n;
            }
        if (n == 0)
            break;
        const double moved = sky / n;
        bin.ambientC = ambient / n;
        bin.spreadC = std::sqrt(std::max(0.0, sky2 / n - moved * moved));
        const bool settled = std::abs(moved - centre) < 0.001;
        centre = moved;
        if (settled)
            break;
    }
    bin.clearSkyC = centre;
    return bin;
}

// Solves the 3x3 system a x = b by elimination; false when singular.
bool solve3(std::array<std::array<double, 4>, 3> m, std::array<double, 3> &x)
{
    for (int c = 0; c < 3; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 3; ++r)
            if (std::abs(m[r][c]) > std::abs(m[pivot][c]))
                pivot = r;
        if (std::abs(m[pivot][c]) < 1e-12)
            return false;
        std::swap(m[c], m[pivot]);
        for (int r = 0; r < 3; ++r)
            if (r != c) {
                const double f = m[r][c] / m[c][c];
                for (int k = c; k < 4; ++k)
                    m[r][k] -= f * m[c][k];
            }
    }
    for (int c = 0; c < 3; ++c)
        x[c] = m[c][3] / m[c][c];
    return true;
}

// sky = k1 * Ta + k3 * exp(rate * Ta) + c, least squares; k3 = 0 when rate is 0.
struct Trial {
    bool ok = false;
    double rate = 0, k1 = 0, k3 = 0, c = 0, sse = INFINITY;
};

double sseOf(const std::vector<BaselineBin> &bins, double k1, double k3, double rate, double c)
{
    double sse = 0;
    for (const BaselineBin &b : bins) {
        const double r = b.clearSkyC - (k1 * b.ambientC + k3 * std::exp(rate * b.ambientC) + c);
        sse += r * r;
    }
    return sse;
}

Trial tryRate(const std::vector<BaselineBin> &bins, double rate)
{
    std::array<std::array<double, 4>, 3> m{};
    for (const BaselineBin &b : bins) {
        const std::array<double, 3> row{b.ambientC, rate == 0 ? 0.0 : std::exp(rate * b.ambientC), 1};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j)
                m[i][j] += row[i] * row[j];
            m[i][3] += row[i] * b.clearSkyC;
        }
    }
    if (rate == 0)
        m[1] = {0, 1, 0, 0}; // no curve: k3 = 0
    std::array<double, 3> x{};
    Trial t;
    t.rate = rate;
    if (!solve3(m, x))
        return t;
    // Whole percent, as the settings keep K1 and K3; the offset follows them.
    t.k1 = std::round(x[0] * 100) / 100;
    t.k3 = std::round(x[1] * 100) / 100;
    double sum = 0;
    for (const BaselineBin &b : bins)
        sum += b.clearSkyC - t.k1 * b.ambientC - t.k3 * std::exp(rate * b.ambientC);
    t.c = sum / double(bins.size());
    t.sse = sseOf(bins, t.k1, t.k3, rate, t.c);
    t.ok = true;
    return t;
}

std::vector<BaselineBin> inUse(const std::vector<BaselineBin> &bins)
{
    std::vector<BaselineBin> used;
    std::copy_if(bins.begin(), bins.end(), std::back_inserter(used), [](const BaselineBin &b) { return !b.leftOut; });
    return used;
}

double residual(const BaselineBin &b, const Trial &t)
{
    return b.clearSkyC - (t.k1 * b.ambientC + t.k3 * std::exp(t.rate * b.ambientC) + t.c);
}

// The straight line, or a curve (K4 on a grid, K5 = 100) where the bands in
// use are enough and wide enough to show one and it fits clearly better.
Trial bestModel(const std::vector<BaselineBin> &bins)
{
    const std::vector<BaselineBin> used = inUse(bins);
    const Trial line = tryRate(used, 0);
    Trial best = line;
    const auto [lo, hi] = std::minmax_element(used.begin(), used.end(), [](const BaselineBin &a, const BaselineBin &b) {
        return a.ambientC < b.ambientC;
    });
    if (used.size() < kMinBinsForCurve || hi->ambientC - lo->ambientC < kMinSpanForCurveC)
        return line;
    for (int k4 = 5; k4 <= 200; k4 += 5) {
        const Trial t = tryRate(used, k4 / 1000.0);
        if (t.ok && t.sse < best.sse)
            best = t;
    }
    return best.sse < kCurveGain * line.sse ? best : line;
}

} // namespace

std::vector<BaselineBin> clearSkyBins(const std::vector<SkyPoint> &points, double binC, int minPoints)
{
    std::map<long, std::vector<SkyPoint>> bands;
    for (const SkyPoint &p : points)
        if (std::isfinite(p.ambientC) && std::isfinite(p.skyC))
            bands[long(std::floor(p.ambientC / binC))].push_back(p);
    std::vector<BaselineBin> bins;
    for (auto &[band, readings] : bands) {
        if (int(readings.size()) < minPoints)
            continue;
        std::sort(readings.begin(), readings.end(), [](const SkyPoint &a, const SkyPoint &b) { return a.skyC < b.skyC; });
        bins.push_back(clusterOf(readings));
    }
    return bins;
}

SkyFit fitClearSky(std::vector<BaselineBin> &bins)
{
    SkyFit fit;
    for (BaselineBin &b : bins)
        b.leftOut = false;
    if (bins.size() < 3)
        return fit;
    Trial best = bestModel(bins);
    // A band far off the others' curve found a cloud layer, not the clear
    // sky (too few clear minutes in it): it is left out, once.
    if (best.ok) {
        std::vector<double> off;
        for (const BaselineBin &b : bins)
            off.push_back(std::abs(residual(b, best)));
        std::vector<double> sorted = off;
        std::nth_element(sorted.begin(), sorted.begin() + long(sorted.size() / 2), sorted.end());
        const double limit = std::max(kOutlierMinC, kOutlierMedians * sorted[sorted.size() / 2]);
        size_t kept = 0;
        for (size_t i = 0; i < bins.size(); ++i)
            kept += !(bins[i].leftOut = off[i] > limit);
        if (kept < 3)
            return fit;
        if (kept < bins.size())
            best = bestModel(bins);
    }
    if (!best.ok)
        return fit;
    const std::vector<BaselineBin> used = inUse(bins);
    fit.ok = true;
    // K2 moves the constant so that a clear sky's corrected value is the
    // plain Amb - Sky of a clear sky at the bands' middle ambient: the limits
    // stay in the range people know. With K2 = 0 it would read -c.
    const double k1 = best.k1;
    const BaselineBin &middle = used[used.size() / 2];
    const double target = std::round(middle.ambientC - middle.clearSkyC);
    const double k2 = std::abs(k1) >= 0.05 ? std::clamp(std::round(10 * (-best.c - target) / k1), -1e5, 1e5) : 0;
    const double k4 = best.rate == 0 ? 100 : std::round(best.rate * 1000);
    fit.k = {std::round(k1 * 100), k2, std::round(best.k3 * 100), k4, 100, 0, 0};
    fit.clearDifferenceC = -best.c - k1 * k2 / 10;
    fit.rmsC = std::sqrt(best.sse / double(used.size()));
    std::vector<double> spreads;
    for (const BaselineBin &b : used)
        spreads.push_back(b.spreadC);
    std::nth_element(spreads.begin(), spreads.begin() + long(spreads.size() / 2), spreads.end());
    fit.spreadC = spreads[spreads.size() / 2];
    return fit;
}

double fittedClearSkyC(const SkyFit &fit, double ambientC)
{
    return clearSkyOffset(ambientC, fit.k) - fit.clearDifferenceC;
}
