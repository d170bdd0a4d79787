#include "windows/setup_read_back.h"

#include "core/number_format.h"
#include "core/profile_store.h"
#include "core/settings.h"
#include "windows/setup_dialog.h"

namespace {

// A whole number of at least `least`; anything else keeps the value in use.
int32_t wholeOrKept(const QString &text, int32_t least, int32_t kept)
{
    try {
        const int32_t v = wholeFromText(text.trimmed());
        return v >= least ? v : kept;
    } catch (const ConversionError &) {
        return kept;
    }
}

void readAlertsAndSafety(frmSetup &d, Settings &s, SettingWriter &write);

// The wind values, the motion switches and the calibrations, in that order;
// false at the first rejected field.
bool readWindAndCalibration(frmSetup &d, Settings &s, SettingWriter &write)
{
    double v = 0;
    // Only a refused text shows the dialog again; -9999 typed into a box that takes any number is kept.
    auto rejected = [&v, &d](double value) {
        v = value;
        return v == RejectedValue && d.lastGetRejected();
    };

    s.WindSpeedCloseD = d.WindSpeedCloseD();
    write("WindSpeedCloseD");
    if (rejected(d.StepTime())) return false;
    s.StepTime = v;
    write("StepTime");
    if (rejected(d.WindSpeedWarn())) return false;
    s.WindSpeedWarn = v;
    write("WindSpeedWarn");
    if (rejected(d.MaxInc())) return false;
    s.MaxInc = v;
    write("MaxInc");

    s.Absolute = d.Absolute();
    write("Absolute");
    s.Synchronous = d.Synchronous();
    write("Synchronous");
    s.Centigrade = d.Centigrade();
    write("Centigrade");
    s.Reverse = d.Reverse();
    write("Reverse");
    s.HalfStep = d.HalfStep();
    write("HalfStep");

    struct Calibration {
        double (frmSetup::*get)();
        double Settings::*member;
        const char *key;
    };
    static const Calibration calibrations[] = {
        {&frmSetup::TPTempHysteresis, &Settings::TPTempHysteresis, "TPTempHysteresis"},
        {&frmSetup::Joystick_slopeR, &Settings::Joystick_slopeR, "Joystick_slopeR"},
        {&frmSetup::TPTempOffset, &Settings::TPTempOffset, "TPTempOffset"},
        {&frmSetup::Joystick_interceptR, &Settings::Joystick_interceptR, "Joystick_interceptR"},
        {&frmSetup::Thermistor_A, &Settings::Thermistor_A, "Thermistor_A"},
        {&frmSetup::Thermistor_B, &Settings::Thermistor_B, "Thermistor_B"},
        {&frmSetup::Thermistor_C, &Settings::Thermistor_C, "Thermistor_C"},
        {&frmSetup::ThermistorR_A, &Settings::ThermistorR_A, "ThermistorR_A"},
        {&frmSetup::ThermistorR_B, &Settings::ThermistorR_B, "ThermistorR_B"},
        {&frmSetup::ThermistorR_C, &Settings::ThermistorR_C, "ThermistorR_C"},
    };
    for (const Calibration &c : calibrations) {
        if (rejected((d.*c.get)())) return false;
        s.*c.member = v;
    }
    for (const Calibration &c : calibrations)
        write(c.key);

    return true;
}

} // namespace

bool readBack(frmSetup &d, Settings &s, SettingWriter &write)
{
    double v = 0;
    // Only a refused text shows the dialog again; -9999 typed into a box that takes any number is kept.
    auto rejected = [&v, &d](double value) {
        v = value;
        return v == RejectedValue && d.lastGetRejected();
    };

    if (!readWindAndCalibration(d, s, write))
        return false;
    s.AlwaysOnTop = d.checkState(QStringLiteral("chkAlwaysTop")) == Checked;
    write("AlwaysOnTop");
    s.AdvancedSetup = d.AdvancedMode();
    write("AdvancedSetup");
    s.CanTempComp = d.checkState(QStringLiteral("chkCanTempComp")) == Checked;
    write("CanTempComp");
    s.CanTemp = d.checkState(QStringLiteral("chkCanTemp")) == Checked;
    write("CanTemp");
    s.CanStepSize = d.checkState(QStringLiteral("chkCanStepSize")) == Checked;
    write("CanStepSize");
    s.CanHalt = d.checkState(QStringLiteral("chkCanHalt")) == Checked;
    write("CanHalt");
    s.BacklashDir = d.checkState(QStringLiteral("chkBacklashDir")) == Checked;
    write("BacklashDir");

    if (rejected(d.TempMax())) return false;
    s.TempMax = v;
    write("TempMax");
    if (rejected(d.WindsAvgCnt())) return false;
    s.WindsAvgCnt = toInt32(v);
    write("WindsAvgCnt");
    if (rejected(d.BacklashComp())) return false;
    s.BacklashComp = toInt32(v);
    write.readOnly("BacklashComp");
    if (rejected(d.TempAvgCnt())) return false;
    s.TempsAvgCount = toInt32(v);
    write("TempsAvgCount");
    write("BacklashComp");
    if (rejected(d.TempSteps())) return false;
    s.TempSteps = toInt32(v);
    write("TempSteps");
    readAlertsAndSafety(d, s, write);
    // Checked before the dialog closed (it refuses OK in place): never rejected here.
    d.readConnections(s);
    for (const QString &key : frmSetup::connectionKeys())
        write(key);
    // A rejected current temperature is kept as the rejection value, without showing the dialog again.
    s.Temp = d.TempCur();
    write.readOnly("Temp");
    return true;
}

namespace {
// The fields read back as they are (no rejection): the alert thresholds,
// sounds and programs, the safety verdict's settings.
void readAlertsAndSafety(frmSetup &d, Settings &s, SettingWriter &write)
{
    // These fall back to their defaults instead of being rejected.
    s.WindMultiplier = toInt32(d.WindMultiplierL());
    s.WindTimer = toInt32(d.WindTimerL());
    s.RainOnTime = toInt32(d.RainOnTimeL());
    s.PartCloudyDegC = toInt32(d.PartCloudyDegCL());
    s.FullCloudyDegC = toInt32(d.FullCloudyDegCL());
    for (const char *key : {"WindTimer", "RainOnTime", "WindMultiplier", "PartCloudyDegC", "FullCloudyDegC"})
        write(key);

    s.g_bchkEnableSounds = d.GchkEnableSounds();
    s.g_bchkRepeatSounds = d.checkState(QStringLiteral("chkRepeatSounds"));
    s.g_bchkRepeatApp = d.checkState(QStringLiteral("chkRepeatApp"));
    s.g_sRainSounds = d.boxText(QStringLiteral("RainSounds"));
    s.g_sWindSounds = d.boxText(QStringLiteral("WindSounds"));
    s.g_sLightSounds = d.boxText(QStringLiteral("LightSounds"));
    s.g_sCloudSounds = d.boxText(QStringLiteral("CloudSounds"));
    s.RainThreshold = toInt32(d.RainThreshold());
    s.WindThreshold = toInt32(d.WindThreshold());
    s.LightThreshold = toInt32(d.LightThreshold());
    s.g_sRainApp = d.boxText(QStringLiteral("RainApp"));
    s.g_sWindApp = d.boxText(QStringLiteral("WindApp"));
    s.g_sLightApp = d.boxText(QStringLiteral("LightApp"));
    s.g_sCloudApp = d.boxText(QStringLiteral("CloudApp"));
    // The per-condition flags are as the pickers left them; the relay program
    // name is written as it was loaded (its box is not read back).
    for (const char *key :
         {"g_bchkEnableSounds", "g_bchkRepeatSounds", "g_bchkRainSounds", "g_bchkWindSounds", "g_bchkLightSounds",
          "g_bchkCloudSounds", "g_sRainSounds", "g_sWindSounds", "g_sLightSounds", "g_sCloudSounds",
          "g_bchkCloudSounds", "RainThreshold", "WindThreshold", "LightThreshold", "g_bchkRainApp", "g_bchkWindApp",
          "g_bchkLightApp", "g_bchkCloudApp", "g_sRainApp", "g_sWindApp", "g_sLightApp", "g_sCloudApp",
          "g_bchkRelayApp", "g_sRelayApp", "g_bchkRepeatApp"})
        write(key);

    s.SafeDelayMinutes = wholeOrKept(d.boxText(QStringLiteral("SafeDelayMinutes")), 0, s.SafeDelayMinutes);
    s.StaleAfterSeconds = wholeOrKept(d.boxText(QStringLiteral("StaleAfterSeconds")), 1, s.StaleAfterSeconds);
    s.UnsafeWhenPartlyCloudy = d.checkState(QStringLiteral("chkUnsafeWhenPartlyCloudy")) == Checked;
    s.UnsafeWhenOvercast = d.checkState(QStringLiteral("chkUnsafeWhenOvercast")) == Checked;
    s.UnsafeInDaylight = d.checkState(QStringLiteral("chkUnsafeInDaylight")) == Checked;
    s.UnsafeProgram = d.boxText(QStringLiteral("UnsafeProgram")).trimmed();
    s.SafeProgram = d.boxText(QStringLiteral("SafeProgram")).trimmed();
    for (const char *key : {"SafeDelayMinutes", "StaleAfterSeconds", "UnsafeWhenPartlyCloudy", "UnsafeWhenOvercast",
                            "UnsafeInDaylight", "UnsafeProgram", "SafeProgram"})
        write(key);
}

} // namespace
