#include "core/hand_box_field.h"

namespace {
// In the enum's order.
constexpr const char *kNames[kHandBoxFieldCount] = {
    "WindCurrentTF", "WindsGustsTF", "WindsAvgTF", "RawWindTF", "LabelWind", "LabelRain",
    "LabelClouds", "LabelCloudsNarrow", "Cloud_Sky", "Label_SkyBright",
    "HeaterOn", "RelayOn",
    "TPTemp", "Amb_Faren", "CloudTemp", "TP_Faren", "DewPointT", "DP_Faren", "RH", "Ambient1_TempC",
    "Ambient1_TempF", "Raw_RH", "Raw_TP",
    "AllowHeater", "ForceHeater", "AllowRelay", "ForceRelay", "AllowLight", "AllowWind", "AllowAsyncWindCB",
    "TempCompCB", "GraphCheck1",
};
} // namespace

QString fieldName(HandBoxField field)
{
    return QString::fromLatin1(kNames[int(field)]);
}

std::optional<HandBoxField> fieldNamed(const QString &name)
{
    for (int i = 0; i < kHandBoxFieldCount; ++i) {
        if (name == QLatin1String(kNames[i]))
            return HandBoxField(i);
    }
    return std::nullopt;
}

const std::array<HandBoxField, kHandBoxFieldCount> &allHandBoxFields()
{
    static const auto fields = [] {
        std::array<HandBoxField, kHandBoxFieldCount> a{};
        for (int i = 0; i < kHandBoxFieldCount; ++i)
            a[size_t(i)] = HandBoxField(i);
        return a;
    }();
    return fields;
}
