// The setup dialog filled from the settings as they stand.
#include "windows/setup_dialog_fill.h"

#include "core/settings.h"
#include "windows/setup_dialog.h"

void fillSetupDialog(frmSetup &d, const Settings &s, double windNow)
{
    d.setWindSpeedCloseD(s.WindSpeedCloseD);
    d.setStepTime(s.StepTime);
    d.setWindSpeedWarn(s.WindSpeedWarn);
    d.setMaxInc(s.MaxInc);
    d.setSynchronous(s.Synchronous);
    d.setAbsolute(s.Absolute);
    d.setCentigrade(s.Centigrade);
    d.setReverse(s.Reverse);
    d.setHalfStep(s.HalfStep);
    d.setTPTempHysteresis(s.TPTempHysteresis);
    d.setJoystick_slopeR(s.Joystick_slopeR);
    d.setTPTempOffset(s.TPTempOffset);
    d.setJoystick_interceptR(s.Joystick_interceptR);
    d.setThermistor_A(s.Thermistor_A);
    d.setThermistor_B(s.Thermistor_B);
    d.setThermistor_C(s.Thermistor_C);
    d.setThermistorR_A(s.ThermistorR_A);
    d.setThermistorR_B(s.ThermistorR_B);
    d.setThermistorR_C(s.ThermistorR_C);
    d.setWindThreshold(s.WindThreshold);
    d.setLightThreshold(s.LightThreshold);
    d.setRainThreshold(s.RainThreshold);
    d.setWindTimerL(s.WindTimer);
    d.setWindMultiplierL(s.WindMultiplier);
    d.setPartCloudyDegCL(s.PartCloudyDegC);
    d.setFullCloudyDegCL(s.FullCloudyDegC);
    d.setRainOnTimeL(s.RainOnTime);
    // Each picker box is set to its own flag, so no file dialog opens.
    d.LchkEnableSounds(s.g_bchkEnableSounds);
    d.setCheckState(QStringLiteral("chkRepeatSounds"), s.g_bchkRepeatSounds);
    d.setCheckState(QStringLiteral("chkRainSounds"), s.g_bchkRainSounds);
    d.setCheckState(QStringLiteral("chkWindSounds"), s.g_bchkWindSounds);
    d.setCheckState(QStringLiteral("chkLightSounds"), s.g_bchkLightSounds);
    d.setCheckState(QStringLiteral("chkCloudSounds"), s.g_bchkCloudSounds);
    d.setBoxText(QStringLiteral("RainSounds"), s.g_sRainSounds);
    d.setBoxText(QStringLiteral("WindSounds"), s.g_sWindSounds);
    d.setBoxText(QStringLiteral("LightSounds"), s.g_sLightSounds);
    d.setBoxText(QStringLiteral("CloudSounds"), s.g_sCloudSounds);
    d.setCheckState(QStringLiteral("chkRainApp"), s.g_bchkRainApp);
    d.setCheckState(QStringLiteral("chkWindApp"), s.g_bchkWindApp);
    d.setCheckState(QStringLiteral("chkLightApp"), s.g_bchkLightApp);
    d.setCheckState(QStringLiteral("chkCloudApp"), s.g_bchkCloudApp);
    d.setBoxText(QStringLiteral("RainApp"), s.g_sRainApp);
    d.setBoxText(QStringLiteral("WindApp"), s.g_sWindApp);
    d.setBoxText(QStringLiteral("LightApp"), s.g_sLightApp);
    d.setBoxText(QStringLiteral("CloudApp"), s.g_sCloudApp);
    d.setCheckState(QStringLiteral("chkRelayApp"), s.g_bchkRelayApp);
    d.setBoxText(QStringLiteral("RelayApp"), s.g_sRelayApp);
    d.setCheckState(QStringLiteral("chkRepeatApp"), s.g_bchkRepeatApp);
    auto state = [](bool on) { return on ? 1 : 0; };
    d.setCheckState(QStringLiteral("chkAlwaysTop"), state(s.AlwaysOnTop));
    d.setCheckState(QStringLiteral("chkCanTempComp"), state(s.CanTempComp));
    d.setCheckState(QStringLiteral("chkCanTemp"), state(s.CanTemp));
    d.setCheckState(QStringLiteral("chkCanStepSize"), state(s.CanStepSize));
    d.setCheckState(QStringLiteral("chkCanHalt"), state(s.CanHalt));
    d.setCheckState(QStringLiteral("chkBacklashDir"), state(s.BacklashDir));
    d.setTempCur(windNow); // the current wind value, not Temp
    d.setTempMax(s.TempMax);
    d.setWindsAvgCnt(s.WindsAvgCnt);
    d.setTempAvgCnt(s.TempsAvgCount);
    d.setBacklashComp(s.BacklashComp);
    d.setTempSteps(s.TempSteps);
    d.setBoxText(QStringLiteral("SafeDelayMinutes"), QString::number(s.SafeDelayMinutes));
    d.setBoxText(QStringLiteral("StaleAfterSeconds"), QString::number(s.StaleAfterSeconds));
    d.setCheckState(QStringLiteral("chkUnsafeWhenPartlyCloudy"), state(s.UnsafeWhenPartlyCloudy));
    d.setCheckState(QStringLiteral("chkUnsafeWhenOvercast"), state(s.UnsafeWhenOvercast));
    d.setCheckState(QStringLiteral("chkUnsafeInDaylight"), state(s.UnsafeInDaylight));
    d.setBoxText(QStringLiteral("UnsafeProgram"), s.UnsafeProgram);
    d.setBoxText(QStringLiteral("SafeProgram"), s.SafeProgram);
    d.setConnections(s);
}
