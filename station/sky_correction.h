// The infrared sky reading corrected for the ambient temperature: a clear sky
// reads colder against a warm summer night than against a cold winter one,
// so a fixed Amb - Sky limit calls clear skies cloudy (or the reverse) as the
// seasons turn. Seven coefficients shape what a clear sky reads at a given
// ambient; the corrected difference is measured from there.
#pragma once

#include <array>

using SkyCoefficients = std::array<double, 7>; // K1..K7, as the settings hold them

// What a clear sky reads below the ambient at ambientC (Td): with K1 = 100 and
// the others 0 it is the ambient itself.
double clearSkyOffset(double ambientC, const SkyCoefficients &k);

// Amb - Sky measured from the clear sky: Td - Ts. With K1 = 100 and the
// others 0 it is the plain difference.
double correctedSkyDifference(double ambientC, double measuredSkyC, const SkyCoefficients &k);

struct Settings;
// Amb - Sky as the settings ask for it: the plain difference, or (Sky/Corrected)
// measured from the clear sky; coefficients that give no number leave it plain.
double skyDifferenceAsSet(const Settings &settings, double wholeAmbient, double measuredSkyC);
