#include "windows/setup_control.h"

#include <QHash>

namespace {
// In declaration order: the name of SetupControl(i) is kNames[i].
const char *const kNames[] = {
    "WindSpeedCloseDTF", "WindSpeedWarnTF", "StepTimeTF", "MaxIncTF", "WindsAvgCnt", "TempCurTF", "TempMaxTF",
    "TempAvgCntTF", "BacklashCompTF", "TempStepsTF", "TPTempHysteresisTF", "TPTempOffsetTF",
    "Joystick_slopeRTF", "Joystick_interceptRTF", "Thermistor_ATF", "ThermistorR_ATF", "Thermistor_BTF",
    "ThermistorR_BTF", "Thermistor_CTF", "ThermistorR_CTF", "RainThresh", "WindThresh", "LightThresh",
    "WindTimer", "WindMultiplier", "PartCloudyDegC", "FullCloudyDegC", "RainOnTime", "RainSounds",
    "WindSounds", "LightSounds", "CloudSounds", "RainApp", "WindApp", "LightApp", "CloudApp", "RelayApp",
    "SafeDelayMinutes", "StaleAfterSeconds", "UnsafeProgram", "SafeProgram", "MqttHost", "MqttPort", "MqttUser",
    "MqttPassword", "MqttTopicPrefix", "MqttCaFile", "MqttDiscoveryPrefix", "MqttKeepAliveSeconds",
    "WeatherDataFile", "chkReverse", "chkHalfStep",
    "chkCanTemp", "chkCanTempComp", "chkCanHalt", "chkCanStepSize", "chkSynchronous", "chkAlwaysTop",
    "chkBacklashDir", "chkCentigrade", "chkEnableSounds", "chkRepeatSounds", "chkRepeatApp", "chkRainSounds",
    "chkWindSounds", "chkLightSounds", "chkCloudSounds", "chkRainApp", "chkWindApp", "chkLightApp",
    "chkCloudApp", "chkRelayApp", "chkUnsafeWhenPartlyCloudy", "chkUnsafeWhenOvercast", "chkUnsafeInDaylight",
    "chkMqttEnabled", "chkMqttTls", "chkMqttRetain",
};
static_assert(std::size(kNames) == kSetupControlCount, "one name per control");
} // namespace

QString setupControlName(SetupControl control)
{
    return QLatin1String(kNames[int(control)]);
}

std::optional<SetupControl> setupControlNamed(const QString &name)
{
    static const QHash<QString, SetupControl> byName = [] {
        QHash<QString, SetupControl> h;
        for (SetupControl c : allSetupControls())
            h.insert(setupControlName(c), c);
        return h;
    }();
    const auto it = byName.constFind(name);
    return it == byName.cend() ? std::nullopt : std::optional<SetupControl>(*it);
}

const std::array<SetupControl, kSetupControlCount> &allSetupControls()
{
    static const auto all = [] {
        std::array<SetupControl, kSetupControlCount> a{};
        for (int i = 0; i < kSetupControlCount; ++i)
            a[size_t(i)] = SetupControl(i);
        return a;
    }();
    return all;
}
