// Cloud cover in percent from the sky's coldness, for clients that want a
// number rather than the three sky classes.
#pragma once

// 0 while Amb - Sky is above partCloudyDegC, 100 at or below fullCloudyDegC,
// linear between. Thresholds in the wrong order give 0 above partCloudyDegC
// and 100 otherwise.
double cloudCoverPercent(double ambientMinusSkyC, double partCloudyDegC, double fullCloudyDegC);
