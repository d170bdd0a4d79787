#include "watch/cloud_cover.h"

double cloudCoverPercent(double ambientMinusSkyC, double partCloudyDegC, double fullCloudyDegC)
{
    if (ambientMinusSkyC > partCloudyDegC)
        return 0;
    if (ambientMinusSkyC <= fullCloudyDegC || partCloudyDegC <= fullCloudyDegC)
        return 100;
    return 100 * (partCloudyDegC - ambientMinusSkyC) / (partCloudyDegC - fullCloudyDegC);
}
