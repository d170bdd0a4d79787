// Process-wide settings: one value per profile key, with its type, default text
// and subkey; the version check that writes the defaults, and the load.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

class ProfileStore;

inline const QString kDriverId = QStringLiteral("Tarnwick.Focuser");
inline const QString kDriverName = QStringLiteral("Tarnwick");
inline const QString kCapabilities = QStringLiteral("Capabilities");
inline const QString kRegVerKey = QStringLiteral("RegVer");
inline const QString kRegVer = QStringLiteral("2.10");
inline const QString kComPortKey = QStringLiteral("COM Port");

// Placeholders: the user enters the real station ID and password in the upload window.
inline const char *kDefaultPwsName = "KXXTOWN99";
inline const char *kDefaultPwsPassword = "yourpassword";
inline const char *kDefaultPwsSite = "http://weatherstation.wunderground.com/weatherstation/updateweatherstation.php";

struct Settings {
    bool Absolute = true;
    bool Synchronous = false;
    bool Centigrade = false;
    bool Reverse = false;
    bool HalfStep = false;
    double WindSpeedCloseD = 17;
    int32_t MaxCloudTemp = 5;
    double StepTime = 0.015;
    int32_t Position = 500;
    double WindSpeedWarn = 10.0;
    double Temp = 5.0;
    double MaxInc = 1;
    bool AlwaysOnTop = true;
    bool AdvancedSetup = false;
    bool CanTempComp = true;
    bool CanTemp = true;
    bool CanStepSize = true;
    bool CanHalt = true;
    double TempMax = 5.0;
    int32_t WindsAvgCnt = 1;
    int32_t TempsAvgCount = 1;
    int32_t BacklashComp = 5;
    bool BacklashDir = true;
    int32_t TempSteps = 10;
    double TPTempHysteresis = 2.0;
    double TPTempOffset = 8.0;
    double Thermistor_A = -0.00045015253;
    double Thermistor_B = 0.000472700220;
    double Thermistor_C = -0.000000713329;
    double Joystick_slopeR = 707;
    double Joystick_interceptR = 6.16;
    double ThermistorR_A = 0.002365398200;
    double ThermistorR_B = 0.000034852743;
    double ThermistorR_C = 0.000000827387;
    int32_t RainThreshold = 400;
    int32_t WindThreshold = 300;
    int32_t LightThreshold = 950;
    int32_t WindTimer = 122;
    int32_t WindMultiplier = 3;
    int32_t PartCloudyDegC = 22;
    int32_t FullCloudyDegC = 19;
    int32_t g_bchkEnableSounds = 0;
    int32_t g_bchkRepeatSounds = 0;
    int32_t g_bchkRainSounds = 0;
    int32_t g_bchkWindSounds = 0;
    int32_t g_bchkLightSounds = 0;
    int32_t g_bchkCloudSounds = 0;
    QString g_sRainSounds;
    QString g_sWindSounds;
    QString g_sLightSounds;
    QString g_sCloudSounds;
    int32_t RainOnTime = 60;
    int32_t g_bchkRainApp = 0;
    int32_t g_bchkWindApp = 0;
    int32_t g_bchkLightApp = 0;
    int32_t g_bchkCloudApp = 0;
    int32_t g_bchkRelayApp = 0;
    int32_t g_bchkRepeatApp = 0;
    QString g_sRainApp;
    QString g_sWindApp;
    QString g_sLightApp;
    QString g_sCloudApp;
    QString g_sRelayApp;
    QString g_sPWS_name = QString::fromLatin1(kDefaultPwsName);
    QString g_sPWS_password = QString::fromLatin1(kDefaultPwsPassword);
    QString g_sPWS_site = QString::fromLatin1(kDefaultPwsSite);
    int32_t g_bAllow_PWS = 0;
    // Seconds without an accepted record before the board counts as silent
    // and readings stop going out (see staleLimitSeconds).
    int32_t StaleAfterSeconds = 30;

    // The safety monitor (subkey "Safety")
    int32_t SafeDelayMinutes = 10;
    bool UnsafeWhenPartlyCloudy = false;
    bool UnsafeWhenOvercast = true;
    bool UnsafeInDaylight = true;
    QString UnsafeProgram;
    QString SafeProgram;

    // The HTTP endpoint: host names (comma-separated) it answers besides this
    // machine's own addresses and names, e.g. the name of a reverse proxy.
    QString AllowedHosts;
    // Observatory automation: the one-line weather data file (empty: none)
    // and the notifications (subkey "Notify"; an empty URL leaves its channel off).
    QString WeatherDataFile;
    QString NotifyWebhookUrl;
    QString NotifyPushUrl;
    QString NotifySmtpUrl; // smtp://host:587 (STARTTLS) or smtps://host:465
    QString NotifySmtpUser;
    QString NotifySmtpPassword;
    QString NotifyMailFrom;
    QString NotifyMailTo; // one or more addresses, separated by commas
    bool NotifySmtpStartTls = true;
    QString NotifyCaFile; // a certificate authority of one's own mail or push server, beside the system's
    int32_t NotifyEveryMinutes = 15; // at most one message per kind of event in this time
    // Uploads (subkey "Upload")
    int32_t UploadBacklogHours = 6; // how far back missed minutes are sent after an outage
    QString UploadCaFile;           // certificates trusted beside the system's for https://
    QString UploadServices;         // further services, one per line (see upload/services.h)
    // The observing site, degrees north and east; empty: not told.
    QString Latitude;
    QString Longitude;
    // The MQTT link to a broker (subkey "Mqtt")
    bool MqttEnabled = false;
    QString MqttHost = QStringLiteral("localhost");
    int32_t MqttPort = 1883;
    QString MqttUser;
    QString MqttPassword;
    QString MqttTopicPrefix; // empty: "tarnwick/" and the upload station ID (or the host name)
    bool MqttTls = false;
    QString MqttCaFile; // empty with Tls: the system's certificate authorities
    bool MqttRetain = false;
    QString MqttDiscoveryPrefix = QStringLiteral("homeassistant");
    int32_t MqttKeepAliveSeconds = 30;

    // The sky reading corrected for the ambient temperature (subkey "Sky"):
    // off, Amb - Sky is the plain difference.
    bool SkyCorrected = false;
    int32_t SkyK1 = 33, SkyK2 = 0, SkyK3 = 4, SkyK4 = 100, SkyK5 = 100, SkyK6 = 0, SkyK7 = 0;
};

inline const QString kUploadSubKey = QStringLiteral("Upload");

inline const QString kSafetySubKey = QStringLiteral("Safety");
inline const QString kNotifySubKey = QStringLiteral("Notify");
inline const QString kMqttSubKey = QStringLiteral("Mqtt");

// StaleAfterSeconds as used: at least 2 s (a record is polled once a second)
// and at most one day.
int staleLimitSeconds(const Settings &settings);

// The site as numbers: known when Latitude and Longitude both hold degrees in
// range ("52.2", "-1,5"); otherwise problem says why, unless both are empty.
struct SiteLocation {
    bool known = false;
    double latitudeDeg = 0;
    double longitudeDeg = 0;
    QString problem;
};
SiteLocation siteLocation(const Settings &settings);

enum class SettingType { Text, Boolean, Integer, Double };

struct SettingDef {
    const char *key;
    bool capabilities; // lives under the "Capabilities" subkey
    SettingType type;
    const char *defaultText;
    // Keys added after the "2.10" stamp name their subkey ("" for the top
    // level); a profile made before them gets their defaults on the next start.
    const char *laterSubKey = nullptr;
};

// Every key in the order its default is written ("RegVer" first).
const std::vector<SettingDef> &settingTable();
// "KEY" (the first of that name) or "SUBKEY/KEY".
const SettingDef *findSetting(const QString &key);
QString subKeyOf(const SettingDef &def);

// Writes "RegVer" and every default when the stamp is not "2.10", and the
// default of any later key the profile does not hold yet. Returns true when it wrote.
bool writeDefaultsIfNeeded(ProfileStore &profile);

// Writes the default of every key the profile does not hold at all (a
// hand-written profile may leave some out). Returns false when that write failed.
bool writeMissingDefaults(ProfileStore &profile);

// Loads every key in the program's load order. A stored text that does not
// convert leaves the key at its default; one message per such key is returned.
QStringList loadSettings(const ProfileStore &profile, Settings &settings);

// Text form of a setting's current value, as the program writes it ("KEY" or
// "SUBKEY/KEY", as findSetting takes it).
QString settingText(const Settings &settings, const QString &key);
// Writes one setting's current value to the profile under its subkey.
bool saveSetting(ProfileStore &profile, const Settings &settings, const QString &key);

// Sets one setting from its text as the profile holds it; false for a key
// Settings does not keep or a text its type does not take (nothing changed).
bool settingFromText(Settings &settings, const QString &key, const QString &text);
// Copies one setting by its key (an edited copy applied key by key, leaving
// the rest as the running program has them). False for an unknown key.
bool copySetting(const Settings &from, Settings &to, const QString &key);
