#include "core/hand_box_fields.h"

#include "core/number_format.h"

void HandBoxFields::setWindCurrent(double v)
{
    setFieldText(HandBoxField::WindCurrentTF, formatNumber(v, "0.0"));
}

void HandBoxFields::setWindsGusts(double v)
{
    setFieldText(HandBoxField::WindsGustsTF, formatNumber(v, "0.0"));
}

void HandBoxFields::setRawWind(double v)
{
    setFieldText(HandBoxField::RawWindTF, formatNumber(v, "0"));
}

void HandBoxFields::setWindsAvg(double v)
{
    setFieldText(HandBoxField::WindsAvgTF, formatNumber(v, "0.0"));
}

double HandBoxFields::aCloudTemp()
{
    try {
        const int32_t v = wholeFromText(fieldText(HandBoxField::CloudTemp));
        return v < 0 ? -9999 : v;
    } catch (const ConversionError &) {
        return -9999;
    }
}

void HandBoxFields::setACloudTemp(double v)
{
    setFieldText(HandBoxField::CloudTemp, formatNumber(v, "0.0"));
}

double readBackAmbient(HandBoxApi &box)
{
    const QString text = box.fieldText(HandBoxField::TPTemp);
    if (text.isEmpty()) {
        box.setFieldText(HandBoxField::TPTemp, QStringLiteral("200"));
        return 0;
    }
    return wholeFromText(text);
}

double HandBoxFields::aTPTemp()
{
    return readBackAmbient(*this);
}

void HandBoxFields::setATPTemp(double v)
{
    setFieldText(HandBoxField::TPTemp, formatNumber(v, "0.0"));
}
