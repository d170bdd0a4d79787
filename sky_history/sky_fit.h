// The clear-sky baseline: what the infrared sensor reads of a clear sky at a
// given ambient temperature, found from the coldest readings of dark hours
// and fitted with the seven-coefficient correction (K6 = K7 = 0, K5 = 100:
// the shape the readings of one site determine well).
#pragma once

#include "station/sky_correction.h"

#include <cstddef>
#include <vector>

struct SkyPoint {
    double ambientC = 0;
    double skyC = 0; // measured sky temperature
};

// One band of ambient temperatures and the clear sky's level in it: the
// densest cluster at the cold end of the band's readings (clouds only ever
// read warmer).
struct BaselineBin {
    double ambientC = 0;   // mean ambient of the readings in the cluster
    double clearSkyC = 0;  // the cluster's centre
    double spreadC = 0;    // the cluster's standard deviation
    int points = 0;        // readings in the band
    bool leftOut = false;  // set by the fit: too far off the other bands' curve
};
inline constexpr double kBaselineBinC = 2;
inline constexpr int kBaselineMinPoints = 30;
std::vector<BaselineBin> clearSkyBins(const std::vector<SkyPoint> &points, double binC = kBaselineBinC,
                                      int minPoints = kBaselineMinPoints);

struct SkyFit {
    bool ok = false;
    SkyCoefficients k{100, 0, 0, 100, 100, 0, 0};
    // Td - Ts of a clear sky under these coefficients: what a clear sky's
    // corrected difference reads.
    double clearDifferenceC = 0;
    double rmsC = 0;          // of the bins about the fitted baseline
    double spreadC = 0;       // median spread of the clear clusters
};
// Least squares over the bins (each bin counts once), with whole-number
// coefficients as the settings hold them. Needs three bins or more; the
// curve (K3, K4) only with kMinBinsForCurve bands over kMinSpanForCurveC
// and a sum of squares under kCurveGain of the line's, else a straight line.
// A band off the first fit by more than kOutlierMedians times the median
// (and kOutlierMinC) is marked left out and the fit made again without it.
inline constexpr std::size_t kMinBinsForCurve = 6;
inline constexpr double kMinSpanForCurveC = 15;
inline constexpr double kCurveGain = 0.7;
inline constexpr double kOutlierMedians = 4;
inline constexpr double kOutlierMinC = 1;
SkyFit fitClearSky(std::vector<BaselineBin> &bins);

// The fitted clear sky's reading at ambientC.
double fittedClearSkyC(const SkyFit &fit, double ambientC);
