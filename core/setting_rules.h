// What a user may set and how: each user-facing setting's group (as the setup
// dialog groups them), label, unit, valid range or choices, whether it is a
// secret (written, never shown) and whether a change waits for a restart. One
// table read by "tarnwick config set", the setup dialog, the settings page
// and the settings service; settingProblem is the one validation.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

enum class TextCheck {
    None,
    Latitude,   // degrees -90 to 90, or empty
    Longitude,  // degrees -180 to 180 (east positive), or empty
    Topic,      // an MQTT topic part: no "+" or "#", not starting with "/"
    HttpUrl,    // empty, http:// or https://
    SmtpUrl,    // empty, smtp:// or smtps://
};

struct SettingRule {
    const char *key;   // as "config set" names it: "StepTime", "Mqtt/Host", "COM Port"
    const char *group; // "Wind", "MQTT", "Site" ...
    const char *label;
    const char *unit = ""; // "" for none
    double min = -1e300;
    bool minIncluded = true;
    double max = 1e300;
    const char *choices = nullptr; // "0|1": the only texts accepted
    TextCheck check = TextCheck::None;
    bool secret = false;  // passwords, keys, tokens: never sent back
    bool restart = false; // takes effect at the next start
};

// Every user-facing setting, group by group in the order the settings page shows them.
const std::vector<SettingRule> &settingRules();
// The groups in the order they are shown.
QStringList settingGroups();
// "KEY" or "SUBKEY/KEY" as findSetting takes it; null for a key without a rule.
const SettingRule *findRule(const QString &key);
// The key as the table writes it ("Host" -> "Mqtt/Host"); unknown keys stay as given.
QString canonicalKey(const QString &key);

// Why text cannot be key's value (empty: it can), in a sentence naming the
// field. Keys the profile keeps without a rule are held to their type only.
QString settingProblem(const QString &key, const QString &text);
