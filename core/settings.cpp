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
        {"NotifyCaFile", &Settings::NotifyCaFile},
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
        {"Sky/Corrected", &Settings::SkyCorrected},
        {"Sky/K1", &Settings::SkyK1},
        {"Sky/K2", &Settings::SkyK2},
        {"Sky/K3", &Settings::SkyK3},
        {"Sky/K4", &Settings::SkyK4},
        {"Sky/K5", &Settings::SkyK5},
        {"Sky/K6", &Settings::SkyK6},
        {"Sky/K7", &Settings::SkyK7},
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
// The defaults of the settings `wanted` picks, as entries for one write.
template <typename Pick>
QVector<ProfileStore::Entry> defaultEntries(Pick wanted)
{
    QVector<ProfileStore::Entry> entries;
    for (const SettingDef &d : settingTable())
        if (wanted(d))
            entries.append({ProfileStore::sectionOf(kDriverId, subKeyOf(d)), QString::fromLatin1(d.key),
                            QString::fromLatin1(d.defaultText)});
    return entries;
}

// Keys that came after the "2.10" stamp: a profile written before them lacks
// them, and must not be reported for it.
bool writeAddedKeyDefaults(ProfileStore &profile)
{
    const QVector<ProfileStore::Entry> added = defaultEntries([&](const SettingDef &d) {
        return d.laterSubKey && *d.defaultText && profile.value(kDriverId, QString::fromLatin1(d.key), subKeyOf(d)).isEmpty();
    });
    if (added.isEmpty())
        return false;
    profile.writeValues(added);
    return true;
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
        // One write to disk, not one per key (each is a copy and two fsyncs:
        // seconds on an SD card); "RegVer" heads the table and the file.
        profile.writeValues(defaultEntries([](const SettingDef &) { return true; }));
        wrote = true;
    }
    return writeAddedKeyDefaults(profile) || wrote;
}

bool writeMissingDefaults(ProfileStore &profile)
{
    const QVector<ProfileStore::Entry> missing = defaultEntries(
        [&](const SettingDef &d) { return !profile.contains(kDriverId, QString::fromLatin1(d.key), subKeyOf(d)); });
    return missing.isEmpty() || profile.writeValues(missing);
}

namespace {
// Throws ConversionError for a text the member's type does not take.
void assignFromText(Settings &settings, const Member &member, const QString &text)
{
    std::visit(
        [&](auto m) {
            using T = std::remove_reference_t<decltype(settings.*m)>;
            if constexpr (std::is_same_v<T, bool>)
                settings.*m = boolFromText(text);
            else if constexpr (std::is_same_v<T, int32_t>)
                settings.*m = wholeFromText(text);
            else if constexpr (std::is_same_v<T, double>)
                settings.*m = realFromText(text);
            else
                settings.*m = text;
        },
        member);
}
} // namespace

bool settingFromText(Settings &settings, const QString &key, const QString &text)
{
    const LoadStep *step = findStep(key);
    if (!step)
        return false;
    try {
        assignFromText(settings, step->member, text);
    } catch (const ConversionError &) {
        return false;
    }
    return true;
}

QStringList loadSettings(const ProfileStore &profile, Settings &settings)
{
    QStringList problems;
    for (const LoadStep &step : loadOrder()) {
        const SettingDef *def = findSetting(QString::fromLatin1(step.key));
        const QString text = profile.value(kDriverId, QString::fromLatin1(def->key), subKeyOf(*def));
        try {
            assignFromText(settings, step.member, text);
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
                return plainDecimalText(settings.*member);
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
