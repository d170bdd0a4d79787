#include "core/settings.h"

#include "core/number_format.h"
#include "core/profile_store.h"

#include <algorithm>
#include <cmath>
#include <variant>

namespace {

using Member = std::variant<bool Settings::*, int32_t Settings::*, double Settings::*, QString Settings::*>;

struct LoadStep {
    const char *key;
    Member member;
};

// The order in which start-up loads the keys into memory.
const std::vector<LoadStep> &loadOrder()
{
    static const std::vector<LoadStep> steps = {
        {"Absolute", &Settings::Absolute},
        {"Synchronous", &Settings::Synchronous},
        {"Centigrade", &Settings::Centigrade},
        {"Reverse", &Settings::Reverse},
        {"HalfStep", &Settings::HalfStep},
        {"WindSpeedCloseD", &Settings::WindSpeedCloseD},
        {"MaxCloudTemp", &Settings::MaxCloudTemp},
        {"TPTempHysteresis", &Settings::TPTempHysteresis},
        {"Joystick_slopeR", &Settings::Joystick_slopeR},
        {"TPTempOffset", &Settings::TPTempOffset},
        {"Joystick_interceptR", &Settings::Joystick_interceptR},
        {"Thermistor_A", &Settings::Thermistor_A},
        {"Thermistor_B", &Settings::Thermistor_B},
        {"Thermistor_C", &Settings::Thermistor_C},
        {"ThermistorR_A", &Settings::ThermistorR_A},
        {"ThermistorR_B", &Settings::ThermistorR_B},
        {"ThermistorR_C", &Settings::ThermistorR_C},
        {"StepTime", &Settings::StepTime},
        {"Position", &Settings::Position},
        {"WindSpeedWarn", &Settings::WindSpeedWarn},
        {"Temp", &Settings::Temp},
        {"MaxInc", &Settings::MaxInc},
        {"AlwaysOnTop", &Settings::AlwaysOnTop},
        {"AdvancedSetup", &Settings::AdvancedSetup},
        {"CanTempComp", &Settings::CanTempComp},
        {"CanTemp", &Settings::CanTemp},
        {"CanStepSize", &Settings::CanStepSize},
        {"CanHalt", &Settings::CanHalt},
        {"BacklashDir", &Settings::BacklashDir},
        {"TempMax", &Settings::TempMax},
        {"WindsAvgCnt", &Settings::WindsAvgCnt},
        {"TempsAvgCount", &Settings::TempsAvgCount},
        {"BacklashComp", &Settings::BacklashComp},
        {"TempSteps", &Settings::TempSteps},
        {"WindThreshold", &Settings::WindThreshold},
        {"RainThreshold", &Settings::RainThreshold},
        {"LightThreshold", &Settings::LightThreshold},
        {"WindTimer", &Settings::WindTimer},
        {"WindMultiplier", &Settings::WindMultiplier},
        {"PartCloudyDegC", &Settings::PartCloudyDegC},
        {"FullCloudyDegC", &Settings::FullCloudyDegC},
        {"g_bchkEnableSounds", &Settings::g_bchkEnableSounds},
        {"g_bchkRepeatSounds", &Settings::g_bchkRepeatSounds},
        {"g_bchkRainSounds", &Settings::g_bchkRainSounds},
        {"g_bchkWindSounds", &Settings::g_bchkWindSounds},
        {"g_bchkLightSounds", &Settings::g_bchkLightSounds},
        {"g_bchkCloudSounds", &Settings::g_bchkCloudSounds},
        {"g_sCloudSounds", &Settings::g_sCloudSounds},
        {"g_sWindSounds", &Settings::g_sWindSounds},
        {"g_sRainSounds", &Settings::g_sRainSounds},
        {"g_sLightSounds", &Settings::g_sLightSounds},
        {"RainOnTime", &Settings::RainOnTime},
        {"g_bchkRainApp", &Settings::g_bchkRainApp},
        {"g_bchkWindApp", &Settings::g_bchkWindApp},
        {"g_bchkLightApp", &Settings::g_bchkLightApp},
        {"g_bchkCloudApp", &Settings::g_bchkCloudApp},
        {"g_sCloudApp", &Settings::g_sCloudApp},
        {"g_sWindApp", &Settings::g_sWindApp},
        {"g_sRainApp", &Settings::g_sRainApp},
        {"g_sLightApp", &Settings::g_sLightApp},
        {"g_bchkRelayApp", &Settings::g_bchkRelayApp},
        {"g_sRelayApp", &Settings::g_sRelayApp},
        {"g_bchkRepeatApp", &Settings::g_bchkRepeatApp},
        {"g_sPWS_name", &Settings::g_sPWS_name},
        {"g_sPWS_password", &Settings::g_sPWS_password},
        {"g_sPWS_site", &Settings::g_sPWS_site},
        {"g_bAllow_PWS", &Settings::g_bAllow_PWS},
        {"StaleAfterSeconds", &Settings::StaleAfterSeconds},
        {"SafeDelayMinutes", &Settings::SafeDelayMinutes},
        {"UnsafeWhenPartlyCloudy", &Settings::UnsafeWhenPartlyCloudy},
        {"UnsafeWhenOvercast", &Settings::UnsafeWhenOvercast},
        {"UnsafeInDaylight", &Settings::UnsafeInDaylight},
        {"UnsafeProgram", &Settings::UnsafeProgram},
        {"SafeProgram", &Settings::SafeProgram},
        {"AllowedHosts", &Settings::AllowedHosts},
        {"WeatherDataFile", &Settings::WeatherDataFile},
        {"NotifyWebhookUrl", &Settings::NotifyWebhookUrl},
        {"NotifyPushUrl", &Settings::NotifyPushUrl},
        {"NotifySmtpUrl", &Settings::NotifySmtpUrl},
        {"NotifySmtpUser", &Settings::NotifySmtpUser},
        {"NotifySmtpPassword", &Settings::NotifySmtpPassword},
        {"NotifyMailFrom", &Settings::NotifyMailFrom},
        {"NotifyMailTo", &Settings::NotifyMailTo},
        {"NotifySmtpStartTls", &Settings::NotifySmtpStartTls},
        {"NotifyEveryMinutes", &Settings::NotifyEveryMinutes},
        {"UploadBacklogHours", &Settings::UploadBacklogHours},
        {"UploadCaFile", &Settings::UploadCaFile},
        {"UploadServices", &Settings::UploadServices},
        {"Latitude", &Settings::Latitude},
        {"Longitude", &Settings::Longitude},
        {"Mqtt/Enabled", &Settings::MqttEnabled},
        {"Mqtt/Host", &Settings::MqttHost},
        {"Mqtt/Port", &Settings::MqttPort},
        {"Mqtt/User", &Settings::MqttUser},
        {"Mqtt/Password", &Settings::MqttPassword},
        {"Mqtt/TopicPrefix", &Settings::MqttTopicPrefix},
        {"Mqtt/Tls", &Settings::MqttTls},
        {"Mqtt/CaFile", &Settings::MqttCaFile},
        {"Mqtt/Retain", &Settings::MqttRetain},
        {"Mqtt/DiscoveryPrefix", &Settings::MqttDiscoveryPrefix},
        {"Mqtt/KeepAliveSeconds", &Settings::MqttKeepAliveSeconds},
    };
    return steps;
}

// "SUBKEY/KEY" names the key under its subkey; a plain name matches the first
// key of that name.
bool namesKey(const QString &key, const char *name, const QString &subKey)
{
    const int slash = key.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return key == QLatin1String(name);
    return key.left(slash) == subKey && key.mid(slash + 1) == QLatin1String(name);
}

const LoadStep *findStep(const QString &key)
{
    const SettingDef *def = findSetting(key);
    if (!def)
        return nullptr;
    const QString qualified = subKeyOf(*def) + QLatin1Char('/') + QString::fromLatin1(def->key);
    for (const LoadStep &s : loadOrder()) {
        const QString step = QString::fromLatin1(s.key);
        if (step == QLatin1String(def->key) || step == qualified)
            return &s;
    }
    return nullptr;
}

} // namespace

const std::vector<SettingDef> &settingTable()
{
    static const std::vector<SettingDef> table = {
        {"RegVer", false, SettingType::Text, "2.10"},
        {"Absolute", false, SettingType::Boolean, "True"},
        {"Synchronous", false, SettingType::Boolean, "False"},
        {"Centigrade", false, SettingType::Boolean, "False"},
        {"Reverse", false, SettingType::Boolean, "False"},
        {"HalfStep", false, SettingType::Boolean, "False"},
        {"WindSpeedCloseD", false, SettingType::Double, "17"},
        {"MaxCloudTemp", false, SettingType::Integer, "5"},
        {"StepTime", false, SettingType::Double, "0.015"},
        {"Position", false, SettingType::Integer, "500"},
        {"WindSpeedWarn", false, SettingType::Double, "10.0"},
        {"Temp", false, SettingType::Double, "5.0"},
        {"MaxInc", false, SettingType::Double, "1"},
        {"AlwaysOnTop", false, SettingType::Boolean, "True"},
        {"Left", false, SettingType::Integer, "100"},
        {"Top", false, SettingType::Integer, "100"},
        {"AdvancedSetup", false, SettingType::Boolean, "False"},
        {"CanTempComp", true, SettingType::Boolean, "True"},
        {"CanTemp", true, SettingType::Boolean, "True"},
        {"CanStepSize", true, SettingType::Boolean, "True"},
        {"CanHalt", true, SettingType::Boolean, "True"},
        {"TempMax", true, SettingType::Double, "5.0"},
        {"WindsAvgCnt", true, SettingType::Integer, "1"},
        {"TempsAvgCount", true, SettingType::Integer, "1"},
        {"BacklashComp", true, SettingType::Integer, "5"},
        {"BacklashDir", true, SettingType::Boolean, "True"},
        {"TempSteps", true, SettingType::Integer, "10"},
        {"TPTempHysteresis", false, SettingType::Double, "2.0"},
        {"TPTempOffset", false, SettingType::Double, "8.0"},
        {"Thermistor_A", false, SettingType::Double, "-0.00045015253"},
        {"Thermistor_B", false, SettingType::Double, "0.000472700220"},
        {"Thermistor_C", false, SettingType::Double, "-0.000000713329"},
        {"Joystick_slopeR", false, SettingType::Double, "707"},
        {"Joystick_interceptR", false, SettingType::Double, "6.16"},
        {"ThermistorR_A", false, SettingType::Double, "0.002365398200"},
        {"ThermistorR_B", false, SettingType::Double, "0.000034852743"},
        {"ThermistorR_C", false, SettingType::Double, "0.000000827387"},
        {"RainThreshold", false, SettingType::Integer, "400"},
        {"WindThreshold", false, SettingType::Integer, "300"},
        {"LightThreshold", false, SettingType::Integer, "950"},
        {"WindTimer", false, SettingType::Integer, "122"},
        {"WindMultiplier", false, SettingType::Integer, "3"},
        {"PartCloudyDegC", false, SettingType::Integer, "22"},
        {"FullCloudyDegC", false, SettingType::Integer, "19"},
        {"g_bchkEnableSounds", false, SettingType::Integer, "0"},
        {"g_bchkRepeatSounds", false, SettingType::Integer, "0"},
        {"g_bchkRainSounds", false, SettingType::Integer, "0"},
        {"g_bchkWindSounds", false, SettingType::Integer, "0"},
        {"g_bchkLightSounds", false, SettingType::Integer, "0"},
        {"g_bchkCloudSounds", false, SettingType::Integer, "0"},
        {"g_sRainSounds", false, SettingType::Text, ""},
        {"g_sWindSounds", false, SettingType::Text, ""},
        {"g_sLightSounds", false, SettingType::Text, ""},
        {"g_sCloudSounds", false, SettingType::Text, ""},
        {"RainOnTime", false, SettingType::Integer, "60"},
        {"g_bchkRainApp", false, SettingType::Integer, "0"},
        {"g_bchkWindApp", false, SettingType::Integer, "0"},
        {"g_bchkLightApp", false, SettingType::Integer, "0"},
        {"g_bchkCloudApp", false, SettingType::Integer, "0"},
        {"g_bchkRelayApp", false, SettingType::Integer, "0"},
        {"g_bchkRepeatApp", false, SettingType::Integer, "0"},
        {"g_sRainApp", false, SettingType::Text, ""},
        {"g_sWindApp", false, SettingType::Text, ""},
        {"g_sLightApp", false, SettingType::Text, ""},
        {"g_sCloudApp", false, SettingType::Text, ""},
        {"g_sRelayApp", false, SettingType::Text, ""},
        {"g_sPWS_name", false, SettingType::Text, kDefaultPwsName},
        {"g_sPWS_password", false, SettingType::Text, kDefaultPwsPassword},
        {"g_sPWS_site", false, SettingType::Text, kDefaultPwsSite},
        {"g_bAllow_PWS", false, SettingType::Integer, "0"},
        {"StaleAfterSeconds", false, SettingType::Integer, "30", ""},
        {"SafeDelayMinutes", false, SettingType::Integer, "10", "Safety"},
        {"UnsafeWhenPartlyCloudy", false, SettingType::Boolean, "False", "Safety"},
        {"UnsafeWhenOvercast", false, SettingType::Boolean, "True", "Safety"},
        {"UnsafeInDaylight", false, SettingType::Boolean, "True", "Safety"},
        {"UnsafeProgram", false, SettingType::Text, "", "Safety"},
        {"SafeProgram", false, SettingType::Text, "", "Safety"},
        {"AllowedHosts", false, SettingType::Text, "", ""},
        // Observatory automation
        {"WeatherDataFile", false, SettingType::Text, "", ""},
        {"NotifyWebhookUrl", false, SettingType::Text, "", "Notify"},
        {"NotifyPushUrl", false, SettingType::Text, "", "Notify"},
        {"NotifySmtpUrl", false, SettingType::Text, "", "Notify"},
        {"NotifySmtpUser", false, SettingType::Text, "", "Notify"},
        {"NotifySmtpPassword", false, SettingType::Text, "", "Notify"},
        {"NotifyMailFrom", false, SettingType::Text, "", "Notify"},
        {"NotifyMailTo", false, SettingType::Text, "", "Notify"},
        {"NotifySmtpStartTls", false, SettingType::Boolean, "True", "Notify"},
        {"NotifyEveryMinutes", false, SettingType::Integer, "15", "Notify"},
        {"UploadBacklogHours", false, SettingType::Integer, "6", "Upload"},
        {"UploadCaFile", false, SettingType::Text, "", "Upload"},
        {"UploadServices", false, SettingType::Text, "", "Upload"},
        {"Latitude", false, SettingType::Text, "", ""},
        {"Longitude", false, SettingType::Text, "", ""},
        // Read by the archive at start-up, not kept in Settings.
        {"ArchiveDays", false, SettingType::Integer, "30", ""},
        {"Enabled", false, SettingType::Boolean, "False", "Mqtt"},
        {"Host", false, SettingType::Text, "localhost", "Mqtt"},
        {"Port", false, SettingType::Integer, "1883", "Mqtt"},
        {"User", false, SettingType::Text, "", "Mqtt"},
        {"Password", false, SettingType::Text, "", "Mqtt"},
        {"TopicPrefix", false, SettingType::Text, "", "Mqtt"},
        {"Tls", false, SettingType::Boolean, "False", "Mqtt"},
        {"CaFile", false, SettingType::Text, "", "Mqtt"},
        {"Retain", false, SettingType::Boolean, "False", "Mqtt"},
        {"DiscoveryPrefix", false, SettingType::Text, "homeassistant", "Mqtt"},
        {"KeepAliveSeconds", false, SettingType::Integer, "30", "Mqtt"},
    };
    return table;
}

const SettingDef *findSetting(const QString &key)
{
    for (const SettingDef &d : settingTable())
        if (namesKey(key, d.key, subKeyOf(d)))
            return &d;
    return nullptr;
}

QString subKeyOf(const SettingDef &def)
{
    if (def.laterSubKey)
        return QString::fromLatin1(def.laterSubKey);
    return def.capabilities ? kCapabilities : QString();
}

namespace {
// Keys that came after the "2.10" stamp: a profile written before them lacks
// them, and must not be reported for it.
bool writeAddedKeyDefaults(ProfileStore &profile)
{
    bool wrote = false;
    for (const SettingDef &d : settingTable()) {
        const QString key = QString::fromLatin1(d.key);
        if (d.laterSubKey && *d.defaultText && profile.value(kDriverId, key, subKeyOf(d)).isEmpty()) {
            profile.writeValue(kDriverId, key, QString::fromLatin1(d.defaultText), subKeyOf(d));
            wrote = true;
        }
    }
    return wrote;
}
} // namespace

int staleLimitSeconds(const Settings &settings)
{
    return std::clamp(settings.StaleAfterSeconds, 2, 86400);
}

SiteLocation siteLocation(const Settings &settings)
{
    SiteLocation site;
    const QString lat = settings.Latitude.trimmed(), lon = settings.Longitude.trimmed();
    if (lat.isEmpty() && lon.isEmpty())
        return site;
    auto degrees = [](QString text, double limit, double &out) {
        bool ok = false;
        out = text.replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
        return ok && std::abs(out) <= limit;
    };
    if (!degrees(lat, 90, site.latitudeDeg))
        site.problem = QStringLiteral("Latitude \"%1\" is not degrees from -90 to 90").arg(lat);
    else if (!degrees(lon, 180, site.longitudeDeg))
        site.problem = QStringLiteral("Longitude \"%1\" is not degrees from -180 to 180 (east positive)").arg(lon);
    site.known = site.problem.isEmpty();
    return site;
}

bool writeDefaultsIfNeeded(ProfileStore &profile)
{
    bool wrote = false;
    if (profile.value(kDriverId, kRegVerKey) != kRegVer) {
        // "RegVer" heads the table, so the stamp is written first.
        for (const SettingDef &d : settingTable())
            profile.writeValue(kDriverId, QString::fromLatin1(d.key), QString::fromLatin1(d.defaultText), subKeyOf(d));
        wrote = true;
    }
    return writeAddedKeyDefaults(profile) || wrote;
}

bool writeMissingDefaults(ProfileStore &profile)
{
    QVector<ProfileStore::Entry> missing;
    for (const SettingDef &d : settingTable()) {
        const QString key = QString::fromLatin1(d.key);
        if (!profile.contains(kDriverId, key, subKeyOf(d)))
            missing.append({ProfileStore::sectionOf(kDriverId, subKeyOf(d)), key, QString::fromLatin1(d.defaultText)});
    }
    return missing.isEmpty() || profile.writeValues(missing);
}

QStringList loadSettings(const ProfileStore &profile, Settings &settings)
{
    QStringList problems;
    for (const LoadStep &step : loadOrder()) {
        const SettingDef *def = findSetting(QString::fromLatin1(step.key));
        const QString text = profile.value(kDriverId, QString::fromLatin1(def->key), subKeyOf(*def));
        try {
            std::visit(
                [&](auto member) {
                    using T = std::remove_reference_t<decltype(settings.*member)>;
                    if constexpr (std::is_same_v<T, bool>)
                        settings.*member = boolFromText(text);
                    else if constexpr (std::is_same_v<T, int32_t>)
                        settings.*member = wholeFromText(text);
                    else if constexpr (std::is_same_v<T, double>)
                        settings.*member = realFromText(text);
                    else
                        settings.*member = text;
                },
                step.member);
        } catch (const ConversionError &) {
            problems << QStringLiteral("Setting \"%1\" holds \"%2\", which is not a valid %3; using its default \"%4\".")
                            .arg(QString::fromLatin1(def->key), text,
                                 def->type == SettingType::Boolean   ? QStringLiteral("True/False value")
                                 : def->type == SettingType::Integer ? QStringLiteral("whole number")
                                                                     : QStringLiteral("number"),
                                 QString::fromLatin1(def->defaultText));
        }
    }
    return problems;
}

QString settingText(const Settings &settings, const QString &key)
{
    const LoadStep *step = findStep(key);
    if (!step)
        return QString();
    return std::visit(
        [&](auto member) -> QString {
            using T = std::remove_cvref_t<decltype(settings.*member)>;
            if constexpr (std::is_same_v<T, bool>)
                return boolText(settings.*member);
            else if constexpr (std::is_same_v<T, int32_t>)
                return QString::number(settings.*member);
            else if constexpr (std::is_same_v<T, double>)
                return generalText(settings.*member);
            else
                return settings.*member;
        },
        step->member);
}

bool saveSetting(ProfileStore &profile, const Settings &settings, const QString &key)
{
    const SettingDef *def = findSetting(key);
    if (!def)
        return false;
    return profile.writeValue(kDriverId, QString::fromLatin1(def->key), settingText(settings, key), subKeyOf(*def));
}

bool copySetting(const Settings &from, Settings &to, const QString &key)
{
    const LoadStep *step = findStep(key);
    if (!step)
        return false;
    std::visit([&](auto member) { to.*member = from.*member; }, step->member);
    return true;
}
