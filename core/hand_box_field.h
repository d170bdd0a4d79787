// The hand box's fields: the value labels, text boxes and check boxes the
// program reads and writes, by their control names. One name table; a field
// that is not listed here cannot be named.
#pragma once

#include <QString>
#include <array>
#include <functional>
#include <optional>

enum class HandBoxField {
    // Wind values and indicators
    WindCurrentTF, WindsGustsTF, WindsAvgTF, RawWindTF, LabelWind, LabelRain,
    // Sky
    LabelClouds, LabelCloudsNarrow, Cloud_Sky, Label_SkyBright,
    // Board switches as reported
    HeaterOn, RelayOn,
    // Temperatures, humidity, rain (text boxes)
    TPTemp, Amb_Faren, CloudTemp, TP_Faren, DewPointT, DP_Faren, RH, Ambient1_TempC, Ambient1_TempF, Raw_RH,
    Raw_TP,
    // Check boxes
    AllowHeater, ForceHeater, AllowRelay, ForceRelay, AllowLight, AllowWind, AllowAsyncWindCB, TempCompCB,
    GraphCheck1,
};

inline constexpr int kHandBoxFieldCount = int(HandBoxField::GraphCheck1) + 1;

// The control name ("WindCurrentTF" for HandBoxField::WindCurrentTF).
QString fieldName(HandBoxField field);
// The field of a control name, for text that names one (tools, tests).
std::optional<HandBoxField> fieldNamed(const QString &name);
// Every field, in declaration order.
const std::array<HandBoxField, kHandBoxFieldCount> &allHandBoxFields();

// Reads a field's text (a text box's text or a label's caption).
using FieldReader = std::function<QString(HandBoxField field)>;
