// The setup dialog's text and check boxes, by their control names. One name
// table; a control that is not listed here cannot be named, and the dialog
// binds every one of them when it is built.
#pragma once

#include <QString>
#include <array>
#include <optional>

enum class SetupControl {
    // Text boxes: wind
    WindSpeedCloseDTF, WindSpeedWarnTF, StepTimeTF, MaxIncTF, WindsAvgCnt,
    // Text boxes: temperature
    TempCurTF, TempMaxTF, TempAvgCntTF, BacklashCompTF, TempStepsTF, TPTempHysteresisTF, TPTempOffsetTF,
    Joystick_slopeRTF, Joystick_interceptRTF, Thermistor_ATF, ThermistorR_ATF, Thermistor_BTF, ThermistorR_BTF,
    Thermistor_CTF, ThermistorR_CTF,
    // Text boxes: board thresholds and timers
    RainThresh, WindThresh, LightThresh, WindTimer, WindMultiplier, PartCloudyDegC, FullCloudyDegC, RainOnTime,
    // Text boxes: sound and program files
    RainSounds, WindSounds, LightSounds, CloudSounds, RainApp, WindApp, LightApp, CloudApp, RelayApp,
    // Text boxes: safety
    SafeDelayMinutes, StaleAfterSeconds, UnsafeProgram, SafeProgram,
    // Text boxes: the broker link and the weather data file
    MqttHost, MqttPort, MqttUser, MqttPassword, MqttTopicPrefix, MqttCaFile, MqttDiscoveryPrefix,
    MqttKeepAliveSeconds, WeatherDataFile,
    // Check boxes (every one from here on)
    chkReverse, chkHalfStep, chkCanTemp, chkCanTempComp, chkCanHalt, chkCanStepSize, chkSynchronous, chkAlwaysTop,
    chkBacklashDir, chkCentigrade, chkEnableSounds, chkRepeatSounds, chkRepeatApp, chkRainSounds, chkWindSounds,
    chkLightSounds, chkCloudSounds, chkRainApp, chkWindApp, chkLightApp, chkCloudApp, chkRelayApp,
    chkUnsafeWhenPartlyCloudy, chkUnsafeWhenOvercast, chkUnsafeInDaylight, chkMqttEnabled, chkMqttTls,
    chkMqttRetain,
};

inline constexpr int kSetupControlCount = int(SetupControl::chkMqttRetain) + 1;

// A check box rather than a text box.
inline bool isCheckBox(SetupControl control)
{
    return int(control) >= int(SetupControl::chkReverse);
}

// The control name ("StepTimeTF" for SetupControl::StepTimeTF), the widget's object name.
QString setupControlName(SetupControl control);
// The control of a name, for text that names one (older callers, tools, tests).
std::optional<SetupControl> setupControlNamed(const QString &name);
// Every control, in declaration order.
const std::array<SetupControl, kSetupControlCount> &allSetupControls();
