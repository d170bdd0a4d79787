// Validation, formats and enable rules of the setup dialog, free of widgets.
#include "windows/setup_fields.h"

#include "core/number_format.h"

#include <QDir>
#include <stdexcept>
#include <vector>

namespace {

// The messages are the program's own texts, kept as users have always seen them.
const std::vector<FieldRule> &rules()
{
    using K = FieldKind;
    using R = FieldRange;
    using C = SetupControl;
    static const std::vector<FieldRule> table = {
        {"WindSpeedCloseD", C::WindSpeedCloseDTF, K::Double, "0", R::AtLeastZero, 0, false,
         "invalid input in WindSpeedCloseD, must be >= 0", "invalid input in WindSpeedCloseD, must be >= 0"},
        {"WindSpeedWarn", C::WindSpeedWarnTF, K::Double, "0", R::AboveZero, RejectedValue, false,
         "invalid input in WindSpeedWarn, must be >=0 ", "invalid input in WindSpeedWarn, must be >= 0"},
        {"StepTime", C::StepTimeTF, K::Double, "0.000", R::AboveZero, RejectedValue, false,
         "invalid input in Step Time", "invalid input in Step Time, must be > 0"},
        {"MaxInc", C::MaxIncTF, K::Double, "0.0", R::AboveZero, RejectedValue, false,
         "invalid input in Max Increment", "invalid input in Max Increment, must be > 0"},
        {"TempCur", C::TempCurTF, K::Double, "0.0", R::Any, RejectedValue, false,
         "invalid input in Current Temp", nullptr},
        {"TempMax", C::TempMaxTF, K::Double, "0.00", R::AboveZero, RejectedValue, false,
         "invalid input in Delta T", "invalid input in Delta T, must be > 0"},
        {"TempAvgCnt", C::TempAvgCntTF, K::Integer, "0", R::OneTo300, RejectedValue, false,
         "invalid input in Temp Avg Count", "invalid input in Temp Avg Count, must be 1 through 300"},
        {"BacklashComp", C::BacklashCompTF, K::Integer, "0", R::Any, RejectedValue, false,
         "invalid input in Backlash steps", nullptr},
        {"TempSteps", C::TempStepsTF, K::Integer, "0", R::AboveZero, RejectedValue, false,
         "invalid input in Steps/DeltaT", "invalid input in Steps/DeltaT, must be > 0"},
        {"TPTempHysteresis", C::TPTempHysteresisTF, K::Double, "0.0", R::Any, RejectedValue, false,
         "invalid input in Temp hysteresis value, 9.9 to 0.1", nullptr},
        {"RainThreshold", C::RainThresh, K::Integer, "0", R::Any, 400, true,
         "invalid input in RainThreshold, 1 to 1000, defaulted to 400", nullptr},
        {"WindThreshold", C::WindThresh, K::Integer, "0", R::Any, 300, false,
         "invalid input in WindThreshold, 1 to 1000, defaulted to 300", nullptr},
        {"LightThreshold", C::LightThresh, K::Integer, "0", R::Any, 950, false,
         "invalid input in LightThreshold, 1 to 1000, defaulted to 950", nullptr},
        {"WindTimerL", C::WindTimer, K::Integer, "0", R::Any, 122, false,
         "invalid input in WindTimer, defaulted to 122", nullptr},
        {"RainOnTimeL", C::RainOnTime, K::Integer, "0", R::Any, 60, false,
         "invalid input in Heater on Time, defaulted to 60", nullptr},
        {"PartCloudyDegCL", C::PartCloudyDegC, K::Integer, "0.0", R::Any, 22, true,
         "invalid input in PartCloudyDegC, 1 to 40, defaulted to 22", nullptr},
        {"FullCloudyDegCL", C::FullCloudyDegC, K::Integer, "0.0", R::Any, 19, true,
         "invalid input in FullCloudyDegC, 1 to 40, defaulted to 19", nullptr},
        {"WindMultiplierL", C::WindMultiplier, K::Integer, "0", R::Any, 3, false,
         "invalid input in WindMultiplier, 1 to 9, defaulted to 3", nullptr},
        {"TPTempOffset", C::TPTempOffsetTF, K::Double, "0.0", R::Any, RejectedValue, false,
         "invalid input in Temp Offset value", nullptr},
        {"Thermistor_A", C::Thermistor_ATF, K::Double, "0.000000000000", R::Any, RejectedValue, false,
         "invalid input in Steinhart A value", nullptr},
        {"Thermistor_B", C::Thermistor_BTF, K::Double, "0.000000000000", R::Any, RejectedValue, false,
         "invalid input in Steinhart B value", nullptr},
        {"Thermistor_C", C::Thermistor_CTF, K::Double, "0.000000000000", R::Any, RejectedValue, false,
         "invalid input in Steinhart C value", nullptr},
        {"Joystick_slopeR", C::Joystick_slopeRTF, K::Double, "0.0000", R::Any, RejectedValue, false,
         "invalid input in Joystick m2 value", nullptr},
        {"Joystick_interceptR", C::Joystick_interceptRTF, K::Double, "0.0000", R::Any, RejectedValue, false,
         "invalid input in Joystick Intercept", nullptr},
        {"ThermistorR_A", C::ThermistorR_ATF, K::Double, "0.000000000000", R::Any, RejectedValue, false,
         "invalid input in Steinhart A2 value", nullptr},
        {"ThermistorR_B", C::ThermistorR_BTF, K::Double, "0.000000000000", R::Any, RejectedValue, false,
         "invalid input in Steinhart B2 value", nullptr},
        {"ThermistorR_C", C::ThermistorR_CTF, K::Double, "0.000000000000", R::Any, RejectedValue, false,
         "invalid input in Steinhart C2 value", nullptr},
        // The wind average box used to take any text; the wind window holds at most 300 samples.
        {"WindsAvgCnt", C::WindsAvgCnt, K::Integer, "0", R::OneTo300, RejectedValue, false,
         "invalid input in wind average count", "invalid input in wind average count, must be 1 through 300"},
    };
    return table;
}

bool inRange(FieldRange range, double v)
{
    switch (range) {
    case FieldRange::Any: return true;
    case FieldRange::AtLeastZero: return v >= 0;
    case FieldRange::AboveZero: return v > 0;
    case FieldRange::OneTo300: return v >= 1 && v <= 300;
    }
    return true;
}

} // namespace

bool hasFieldRule(const QString &property)
{
    for (const FieldRule &r : rules())
        if (property == QLatin1String(r.property))
            return true;
    return false;
}

const FieldRule &fieldRule(const QString &property)
{
    for (const FieldRule &r : rules())
        if (property == QLatin1String(r.property))
            return r;
    throw std::out_of_range("no setup field " + property.toStdString());
}

const FieldRule &fieldRule(SetupControl control)
{
    for (const FieldRule &r : rules())
        if (r.control == control)
            return r;
    throw std::out_of_range("no setup field for " + setupControlName(control).toStdString());
}

FieldReading readField(const FieldRule &rule, const QString &text)
{
    FieldReading out;
    bool converted = true;
    try {
        out.value = rule.kind == FieldKind::Integer ? double(wholeFromText(text)) : realFromText(text);
    } catch (const ConversionError &) {
        converted = false;
        out.messages << QString::fromLatin1(rule.conversionMessage);
        out.value = rule.onRejection;
    }
    if (rule.rangeMessage && !inRange(rule.range, out.value)) {
        out.messages << QString::fromLatin1(rule.rangeMessage);
        out.value = rule.onRejection;
        converted = false;
    }
    out.rejected = !converted;
    // The box shows the whole-number default ("22"), whatever its display format.
    if (!converted && rule.showsDefaultOnRejection)
        out.newText = formatNumber(rule.onRejection, "0");
    return out;
}

QString fieldText(const FieldRule &rule, double value)
{
    return formatNumber(value, rule.format);
}

EnabledControls enabledControls(const EnabledInputs &in)
{
    // A greyed box counts as checked; only state 0 is unchecked.
    const bool canTemp = in.canTemp != Unchecked;
    const bool canTempComp = in.canTempComp != Unchecked;
    const bool synchronous = in.synchronous != Unchecked;

    EnabledControls e;
    e.windSpeedCloseD = !in.relative;
    e.windSpeedWarn = in.canStepSize != Unchecked;
    if (!canTemp) {
        e.canTempComp = e.tempCur = e.tempMax = e.tempAvgCnt = e.backlashComp = e.tempSteps = false;
        e.centigrade = e.tpTempHysteresis = e.tpTempOffset = e.thermistors = false;
        e.synchronous = e.backlashDir = false;
        return e;
    }
    e.tempSteps = e.backlashComp = e.synchronous = e.backlashDir = canTempComp;
    if (!synchronous)
        e.backlashComp = e.backlashDir = false;
    return e;
}

PickerStep pickerClick(int state, int32_t flag)
{
    PickerStep step;
    if (state == flag) {
        step.flag = state == Checked ? 1 : 0;
        step.fileBoxEnabled = state == Checked;
    } else if (state == Unchecked) {
        step.flag = 0;
        step.fileBoxEnabled = false;
    } else {
        // Ticked anew: the flag is on at once; the file box follows once a
        // file has been chosen or the choice cancelled (the box stays ticked).
        step.flag = 1;
        step.fileBoxEnabled = true;
        step.askForFile = true;
    }
    return step;
}

QString pickerFilterText(PickerKind kind)
{
    if (kind == PickerKind::Sound)
        return QStringLiteral("All Files (*.*)|*.*|Wave Files") + QStringLiteral("(*.wav)|*.wav|Batch Files (*.bat)|*.bat");
    return QStringLiteral("All Files (*.*)|*.*|Exe Files") + QStringLiteral("(*.exe)|*.exe|Batch Files (*.bat)|*.bat");
}

QStringList nameFiltersFromPipeText(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString desc = parts[i].trimmed();
        const QString pattern = parts[i + 1].trimmed();
        if (desc.endsWith(QLatin1Char('(') + pattern + QLatin1Char(')')))
            filters << desc;
        else
            filters << desc + QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
    return filters;
}

PickerRequest pickerRequest(PickerKind kind)
{
    PickerRequest r;
    // The pickers start at the root of the system drive.
    r.initialFolder = QDir::rootPath();
    r.nameFilters = nameFiltersFromPipeText(pickerFilterText(kind));
    // The program counts filter entries from 1: wave files are entry 2, all files entry 1.
    r.selectedFilter = kind == PickerKind::Sound ? 1 : 0;
    return r;
}

QString driverInfoText()
{
    return QStringLiteral("Tarnwick") + QStringLiteral(" Version ") + QStringLiteral("2.0.8");
}
