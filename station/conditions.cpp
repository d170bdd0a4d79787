#include "station/conditions.h"

#include "core/hand_box_api.h"

bool isRaining(int rainReading, int rainThreshold)
{
    return rainReading > rainThreshold;
}

bool isCloudy(double difference, int partCloudy)
{
    return difference <= partCloudy;
}

bool isDaylight(int brightness, int lightThreshold)
{
    return brightness <= lightThreshold;
}

bool isWindy(double windMean, double stepTime, int windThreshold)
{
    if (stepTime == 0)
        return false;
    return windMean / stepTime >= windThreshold;
}

SkyClass skyClass(double d, int partCloudy, int fullCloudy)
{
    SkyClass c = SkyClass::Clear; // every caption gets one of the three; see the rules below
    if (d <= fullCloudy)
        c = SkyClass::Overcast;
    if (d >= partCloudy)
        c = SkyClass::Clear;
    if (d < partCloudy && d > fullCloudy)
        c = SkyClass::PartlyCloudy;
    return c;
}

uint32_t skyColor(SkyClass c)
{
    switch (c) {
    case SkyClass::Overcast:
        return VbColor::Red;
    case SkyClass::PartlyCloudy:
        return VbColor::Yellow;
    case SkyClass::Clear:
        break;
    }
    return VbColor::Green;
}

Indicator switchIndicator(int status)
{
    if (status == 1)
        return {VbColor::Red, QStringLiteral("Y")};
    if (status == 2)
        return {VbColor::Yellow, QStringLiteral("?")};
    return {VbColor::Green, QStringLiteral("N")};
}
