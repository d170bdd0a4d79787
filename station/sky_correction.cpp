#include "station/sky_correction.h"

#include "core/settings.h"
#include "station/conversions.h"

#include <cmath>

namespace {
double sign(double v)
{
    return v > 0 ? 1 : v < 0 ? -1 : 0;
}
} // namespace

double clearSkyOffset(double ta, const SkyCoefficients &k)
{
    const double pivot = k[1] / 10; // K2, in degrees
    const double away = std::abs(pivot - ta);
    // Near the pivot the logarithm's term would run off to minus infinity:
    // there it goes straight through zero instead.
    const double coldTerm = away < 1 ? sign(k[5]) * sign(ta - pivot) * away
                                     : k[5] / 10 * sign(ta - pivot) * (std::log10(away) + k[6] / 100);
    return k[0] / 100 * (ta - pivot) + k[2] / 100 * std::pow(std::exp(k[3] / 1000 * ta), k[4] / 100) + coldTerm;
}

double correctedSkyDifference(double ambientC, double measuredSkyC, const SkyCoefficients &k)
{
    return clearSkyOffset(ambientC, k) - measuredSkyC;
}

double skyDifferenceAsSet(const Settings &s, double wholeAmbient, double measuredSkyC)
{
    const double plain = skyDifference(wholeAmbient, measuredSkyC);
    if (!s.SkyCorrected)
        return plain;
    const SkyCoefficients k{double(s.SkyK1), double(s.SkyK2), double(s.SkyK3), double(s.SkyK4),
                            double(s.SkyK5), double(s.SkyK6), double(s.SkyK7)};
    const double corrected = correctedSkyDifference(wholeAmbient, measuredSkyC, k);
    return std::isfinite(corrected) ? corrected : plain;
}
