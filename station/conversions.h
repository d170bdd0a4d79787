// Sensor conversions: humidity counts to relative humidity and dew point, the
// clear-sky temperature, the ambient-minus-sky difference and the wind sample.
// Plain numbers in and out; a result that has no real value throws ConversionError.
#pragma once

double fahrenheit(double celsius);

// The humidity sensor fed from 5.02 V, read with a 1024-step converter.
double sensorHumidity(double counts);

struct HumidityResult {
    double relativeHumidity; // 100 when the computed value is negative
    double dewPointC;        // the ambient itself in that case
};
// counts: the Raw_RH text as a number; ambientC: the mean ambient at full
// precision; wholeAmbient: the ambient as shown and read back to a whole degree.
HumidityResult humidityAndDewPoint(double counts, double ambientC, double wholeAmbient);

// shownDewPoint: the dew point as shown (one decimal); wholeAmbient as above.
double calculatedSkyTemp(double shownDewPoint, double wholeAmbient);

double skyDifference(double wholeAmbient, double measuredSkyC);

// A raw count of 0 gives exactly 0, whatever the offset.
double windSample(double rawCount, double stepTime, double maxInc);
