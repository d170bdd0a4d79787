// The user-facing settings' rules, and the one validation of a typed value.
#include "core/setting_rules.h"

#include "core/number_format.h"
#include "core/settings.h"

#include <QUrl>
#include <cmath>

namespace {

constexpr double kNone = 1e300;
constexpr const char *kFlag = "0|1";

// Labels are the setup dialog's own where it has the field.
const std::vector<SettingRule> kRules = {
    {.key = "WindSpeedCloseD", .group = "Wind", .label = "WindSpeedClose", .min = 0},
    {.key = "WindSpeedWarn", .group = "Wind", .label = "WindSpeedWarn", .min = 0, .minIncluded = false},
    {.key = "StepTime", .group = "Wind", .label = "Multiplier", .min = 0, .minIncluded = false},
    {.key = "MaxInc", .group = "Wind", .label = "Wind Speed offset", .min = 0, .minIncluded = false},
    {.key = "Capabilities/WindsAvgCnt", .group = "Wind", .label = "# wind readings to average", .min = 1, .max = 300},
    {.key = "COM Port", .group = "Board", .label = "Serial Port (COM n)", .min = 1, .max = 16, .restart = true},
    {.key = "Absolute", .group = "Focuser", .label = "Absolute (not relative)"},
    {.key = "Reverse", .group = "Focuser", .label = "Reverse Direc"},
    {.key = "HalfStep", .group = "Focuser", .label = "Half Step"},
    {.key = "Capabilities/CanTemp", .group = "Options", .label = "Allow Heater"},
    {.key = "Capabilities/CanTempComp", .group = "Options", .label = "Temperature Compensation"},
    {.key = "Capabilities/CanHalt", .group = "Options", .label = "Halt"},
    {.key = "Capabilities/CanStepSize", .group = "Options", .label = "Step Size"},
    {.key = "Synchronous", .group = "Options", .label = "Apply Backlash on Temp comp"},
    {.key = "Capabilities/BacklashDir", .group = "Options", .label = "Backlash Dir = IN"},
    {.key = "AlwaysOnTop", .group = "Options", .label = "Always on Top"},
    {.key = "Capabilities/TempMax", .group = "Temperature", .label = "Delta T", .unit = "°", .min = 0, .minIncluded = false},
    {.key = "Capabilities/TempsAvgCount", .group = "Temperature", .label = "# reading to average", .min = 1, .max = 300},
    {.key = "Capabilities/BacklashComp", .group = "Temperature", .label = "Comp backlash", .unit = "steps"},
    {.key = "Capabilities/TempSteps", .group = "Temperature", .label = "Steps / DeltaT", .min = 0, .minIncluded = false},
    {.key = "Centigrade", .group = "Temperature", .label = "Centigrade"},
    {.key = "TPTempHysteresis", .group = "Temperature", .label = "Temp Hysteresis", .unit = "°"},
    {.key = "TPTempOffset", .group = "Temperature", .label = "Temp Offset", .unit = "°"},
    {.key = "Joystick_slopeR", .group = "Temperature", .label = "TP Base count"},
    {.key = "Joystick_interceptR", .group = "Temperature", .label = "TP Divisor"},
    {.key = "Thermistor_A", .group = "Temperature", .label = "Steinhart A"},
    {.key = "Thermistor_B", .group = "Temperature", .label = "Steinhart B"},
    {.key = "Thermistor_C", .group = "Temperature", .label = "Steinhart C"},
    {.key = "ThermistorR_A", .group = "Temperature", .label = "Steinhart A2"},
    {.key = "ThermistorR_B", .group = "Temperature", .label = "Steinhart B2"},
    {.key = "ThermistorR_C", .group = "Temperature", .label = "Steinhart C2"},
    {.key = "RainThreshold", .group = "Thresholds For Relay", .label = "Rain Threshold"},
    {.key = "WindThreshold", .group = "Thresholds For Relay", .label = "Wind Threshold"},
    {.key = "LightThreshold", .group = "Thresholds For Relay", .label = "Light Threshold"},
    {.key = "WindTimer", .group = "Wind Control", .label = "Wind Timer"},
    {.key = "WindMultiplier", .group = "Wind Control", .label = "Wind Multiplier"},
    {.key = "PartCloudyDegC", .group = "Cloud Control", .label = "PartCloudy", .unit = "°C"},
    {.key = "FullCloudyDegC", .group = "Cloud Control", .label = "FullCloudy", .unit = "°C"},
    {.key = "RainOnTime", .group = "Heater Hysteresis", .label = "Heater on Time"},
    {.key = "Sky/Corrected", .group = "Sky correction", .label = "Correct the sky for the ambient temperature"},
    {.key = "Sky/K1", .group = "Sky correction", .label = "K1"},
    {.key = "Sky/K2", .group = "Sky correction", .label = "K2"},
    {.key = "Sky/K3", .group = "Sky correction", .label = "K3"},
    {.key = "Sky/K4", .group = "Sky correction", .label = "K4"},
    {.key = "Sky/K5", .group = "Sky correction", .label = "K5"},
    {.key = "Sky/K6", .group = "Sky correction", .label = "K6"},
    {.key = "Sky/K7", .group = "Sky correction", .label = "K7"},
    {.key = "g_bchkEnableSounds", .group = "Alerts", .label = "Enable Sound/App", .choices = kFlag},
    {.key = "g_bchkRepeatSounds", .group = "Alerts", .label = "Repeat Sounds", .choices = kFlag},
    {.key = "g_bchkRepeatApp", .group = "Alerts", .label = "Repeat App", .choices = kFlag},
    {.key = "g_bchkRainSounds", .group = "Alerts", .label = "Rain Sound", .choices = kFlag},
    {.key = "g_sRainSounds", .group = "Alerts", .label = "Rain sound file"},
    {.key = "g_bchkWindSounds", .group = "Alerts", .label = "Wind Sound", .choices = kFlag},
    {.key = "g_sWindSounds", .group = "Alerts", .label = "Wind sound file"},
    {.key = "g_bchkLightSounds", .group = "Alerts", .label = "Light Sound", .choices = kFlag},
    {.key = "g_sLightSounds", .group = "Alerts", .label = "Light sound file"},
    {.key = "g_bchkCloudSounds", .group = "Alerts", .label = "Cloud Sound", .choices = kFlag},
    {.key = "g_sCloudSounds", .group = "Alerts", .label = "Cloud sound file"},
    {.key = "g_bchkRainApp", .group = "Alerts", .label = "Rain App", .choices = kFlag},
    {.key = "g_sRainApp", .group = "Alerts", .label = "Rain program"},
    {.key = "g_bchkWindApp", .group = "Alerts", .label = "Wind App", .choices = kFlag},
    {.key = "g_sWindApp", .group = "Alerts", .label = "Wind program"},
    {.key = "g_bchkLightApp", .group = "Alerts", .label = "Light App", .choices = kFlag},
    {.key = "g_sLightApp", .group = "Alerts", .label = "Light program"},
    {.key = "g_bchkCloudApp", .group = "Alerts", .label = "Cloud App", .choices = kFlag},
    {.key = "g_sCloudApp", .group = "Alerts", .label = "Cloud program"},
    {.key = "g_bchkRelayApp", .group = "Alerts", .label = "Relay App", .choices = kFlag},
    {.key = "g_sRelayApp", .group = "Alerts", .label = "Relay program"},
    {.key = "Safety/SafeDelayMinutes", .group = "Safety", .label = "Safe again after", .unit = "min", .min = 0},
    {.key = "StaleAfterSeconds", .group = "Safety", .label = "Board stale after", .unit = "s", .min = 1, .max = 86400},
    {.key = "Safety/UnsafeWhenPartlyCloudy", .group = "Safety", .label = "Unsafe when partly cloudy"},
    {.key = "Safety/UnsafeWhenOvercast", .group = "Safety", .label = "Unsafe when overcast"},
    {.key = "Safety/UnsafeInDaylight", .group = "Safety", .label = "Unsafe in daylight"},
    {.key = "Safety/UnsafeProgram", .group = "Safety", .label = "Unsafe program"},
    {.key = "Safety/SafeProgram", .group = "Safety", .label = "Safe program"},
    {.key = "Latitude", .group = "Site", .label = "Latitude", .unit = "° north", .check = TextCheck::Latitude},
    {.key = "Longitude", .group = "Site", .label = "Longitude", .unit = "° east", .check = TextCheck::Longitude},
    // The notifier picks its channels at start.
    {.key = "Notify/NotifyWebhookUrl", .group = "Notifications", .label = "Webhook URL", .check = TextCheck::HttpUrl,
     .secret = true, .restart = true},
    {.key = "Notify/NotifyPushUrl", .group = "Notifications", .label = "Push URL", .check = TextCheck::HttpUrl,
     .secret = true, .restart = true},
    {.key = "Notify/NotifySmtpUrl", .group = "Notifications", .label = "Mail server", .check = TextCheck::SmtpUrl,
     .restart = true},
    {.key = "Notify/NotifySmtpUser", .group = "Notifications", .label = "Mail user", .restart = true},
    {.key = "Notify/NotifySmtpPassword", .group = "Notifications", .label = "Mail password", .secret = true, .restart = true},
    {.key = "Notify/NotifyMailFrom", .group = "Notifications", .label = "Mail from", .restart = true},
    {.key = "Notify/NotifyMailTo", .group = "Notifications", .label = "Mail to (comma-separated)", .restart = true},
    {.key = "Notify/NotifySmtpStartTls", .group = "Notifications", .label = "STARTTLS", .restart = true},
    {.key = "Notify/NotifyCaFile", .group = "Notifications", .label = "CA file", .restart = true},
    {.key = "Notify/NotifyEveryMinutes", .group = "Notifications", .label = "At most one message per kind every",
     .unit = "min", .min = 1, .max = 1440, .restart = true},
    {.key = "Mqtt/Enabled", .group = "MQTT", .label = "Publish to a broker"},
    {.key = "Mqtt/Host", .group = "MQTT", .label = "Host"},
    {.key = "Mqtt/Port", .group = "MQTT", .label = "Port", .min = 1, .max = 65535},
    {.key = "Mqtt/User", .group = "MQTT", .label = "User"},
    {.key = "Mqtt/Password", .group = "MQTT", .label = "Password", .secret = true},
    {.key = "Mqtt/TopicPrefix", .group = "MQTT", .label = "Topic prefix", .check = TextCheck::Topic},
    {.key = "Mqtt/DiscoveryPrefix", .group = "MQTT", .label = "Discovery prefix", .check = TextCheck::Topic},
    {.key = "Mqtt/KeepAliveSeconds", .group = "MQTT", .label = "Keep-alive", .unit = "s", .min = 6, .max = 3600},
    {.key = "Mqtt/Tls", .group = "MQTT", .label = "TLS"},
    {.key = "Mqtt/CaFile", .group = "MQTT", .label = "CA file"},
    {.key = "Mqtt/Retain", .group = "MQTT", .label = "Retain values"},
    {.key = "WeatherDataFile", .group = "Weather data file", .label = "One-line file"},
    // One service per line, each with its key.
    {.key = "Upload/UploadServices", .group = "Services", .label = "Upload services", .secret = true},
    {.key = "Upload/UploadCaFile", .group = "Services", .label = "Upload CA file", .restart = true},
    {.key = "Upload/UploadBacklogHours", .group = "Services", .label = "Send missed minutes from the last", .unit = "h",
     .min = 0, .max = 168, .restart = true},
    {.key = "ArchiveDays", .group = "Services", .label = "Archive keeps", .unit = "days", .min = 1, .restart = true},
    {.key = "AllowedHosts", .group = "Web", .label = "Allowed host names (comma-separated)"},
};

QString numberText(double v)
{
    return plainDecimalText(v);
}

QString rangeProblem(const SettingRule &rule, const QString &name, const QString &text, bool whole)
{
    double v = 0;
    try {
        v = realFromText(text);
    } catch (const ConversionError &) {
        return QStringLiteral("\"%1\" is not a valid value for %2").arg(text, name);
    }
    const bool hasMax = rule.max < kNone;
    const bool inRange = (rule.minIncluded ? v >= rule.min : v > rule.min) && v <= rule.max;
    if (inRange && (!whole || v == std::floor(v)))
        return QString();
    if (hasMax)
        return QStringLiteral("%1 must be %2 from %3 to %4 (not \"%5\")")
            .arg(name, whole ? QStringLiteral("a whole number") : QStringLiteral("a number"), numberText(rule.min),
                 numberText(rule.max), text);
    return QStringLiteral("%1 must be %2 %3 (not \"%4\")")
        .arg(name, rule.minIncluded ? QStringLiteral("at least") : QStringLiteral("above"), numberText(rule.min), text);
}

QString degreesProblem(const QString &name, const QString &text, double limit, const char *what)
{
    if (text.trimmed().isEmpty())
        return QString();
    bool ok = false;
    const double v = QString(text.trimmed()).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    if (ok && std::abs(v) <= limit)
        return QString();
    return QStringLiteral("%1 must be degrees from -%2 to %2%3 (not \"%4\")")
        .arg(name, numberText(limit), QLatin1String(what), text);
}

QString urlProblem(const QString &name, const QString &text, const QStringList &schemes)
{
    if (text.trimmed().isEmpty())
        return QString();
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (url.isValid() && schemes.contains(url.scheme()) && !url.host().isEmpty())
        return QString();
    // The text may hold a token: it is not repeated.
    return QStringLiteral("%1 must be an address starting with %2").arg(name, schemes.join(QStringLiteral(":// or ")) + QStringLiteral("://"));
}

QString checkProblem(const SettingRule &rule, const QString &name, const QString &text)
{
    switch (rule.check) {
    case TextCheck::None: return QString();
    case TextCheck::Latitude: return degreesProblem(name, text, 90, "");
    case TextCheck::Longitude: return degreesProblem(name, text, 180, " (east positive)");
    case TextCheck::HttpUrl: return urlProblem(name, text, {QStringLiteral("http"), QStringLiteral("https")});
    case TextCheck::SmtpUrl: return urlProblem(name, text, {QStringLiteral("smtp"), QStringLiteral("smtps")});
    case TextCheck::Topic: {
        const QString t = text.trimmed();
        if (t.contains(QLatin1Char('+')) || t.contains(QLatin1Char('#')))
            return QStringLiteral("%1 \"%2\": \"+\" and \"#\" are wildcards and cannot be part of a topic").arg(name, t);
        if (t.startsWith(QLatin1Char('/')))
            return QStringLiteral("%1 \"%2\": it cannot start with \"/\"").arg(name, t);
        return QString();
    }
    }
    return QString();
}

QString typeProblem(const SettingDef &def, const QString &name, const QString &text)
{
    try {
        switch (def.type) {
        case SettingType::Boolean: boolFromText(text); break;
        case SettingType::Integer: wholeFromText(text); break;
        case SettingType::Double: realFromText(text); break;
        case SettingType::Text: break;
        }
    } catch (const ConversionError &) {
        return QStringLiteral("\"%1\" is not a valid value for %2").arg(text, name);
    }
    return QString();
}

} // namespace

const std::vector<SettingRule> &settingRules()
{
    return kRules;
}

QStringList settingGroups()
{
    QStringList groups;
    for (const SettingRule &r : kRules)
        if (!groups.contains(QLatin1String(r.group)))
            groups << QString::fromLatin1(r.group);
    return groups;
}

QString canonicalKey(const QString &key)
{
    const SettingDef *def = findSetting(key);
    if (!def)
        return key;
    const QString sub = subKeyOf(*def);
    return sub.isEmpty() ? QString::fromLatin1(def->key) : sub + QLatin1Char('/') + QString::fromLatin1(def->key);
}

const SettingRule *findRule(const QString &key)
{
    const QString canonical = canonicalKey(key);
    for (const SettingRule &r : kRules)
        if (canonical == QLatin1String(r.key))
            return &r;
    return nullptr;
}

QString settingProblem(const QString &key, const QString &text)
{
    const QString canonical = canonicalKey(key);
    const SettingDef *def = findSetting(canonical);
    const SettingRule *rule = findRule(canonical);
    if (def) {
        const QString problem = typeProblem(*def, canonical, text);
        if (!problem.isEmpty() || !rule)
            return problem;
    }
    if (!rule)
        return QString();
    if (rule->choices) {
        const QStringList choices = QString::fromLatin1(rule->choices).split(QLatin1Char('|'));
        if (!choices.contains(text.trimmed()))
            return QStringLiteral("%1 must be one of %2 (not \"%3\")").arg(canonical, choices.join(QStringLiteral(", ")), text);
        return QString();
    }
    if (rule->min > -kNone || rule->max < kNone) {
        const bool whole = !def || def->type == SettingType::Integer;
        const QString problem = rangeProblem(*rule, canonical, text, whole);
        if (!problem.isEmpty())
            return problem;
    }
    return checkProblem(*rule, canonical, text);
}
