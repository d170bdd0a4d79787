// The one rule table and the settings service on a real profile file: a bad
// value anywhere in a batch saves nothing, a good batch is written at once
// and applied, the log names keys and writers but never a value, and the
// gate lets only this computer change settings.
#include "control/settings_routes.h"
#include "control/settings_service.h"
#include "control/settings_view.h"
#include "core/profile_store.h"
#include "core/setting_rules.h"
#include "core/settings.h"
#include "temp_profile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

TEST(SettingRules, EveryRuleNamesAKeyTheProfileKeeps)
{
    for (const SettingRule &r : settingRules()) {
        const QString key = QString::fromLatin1(r.key);
        EXPECT_TRUE(findSetting(key) || key == "COM Port") << r.key;
        EXPECT_EQ(canonicalKey(key), key) << r.key << " is not written as the table writes it";
        // Each default passes its own rule.
        if (const SettingDef *def = findSetting(key))
            EXPECT_EQ(settingProblem(key, QString::fromLatin1(def->defaultText)), "") << r.key;
    }
}

TEST(SettingRules, ValuesAcceptedAndRefused)
{
    struct Case {
        const char *key;
        const char *text;
        const char *problem; // "" when accepted; else a part of the message
    };
    const Case cases[] = {
        {"StepTime", "0", "StepTime must be above 0 (not \"0\")"},
        {"StepTime", "0.02", ""},
        {"WindSpeedCloseD", "0", ""},
        {"WindSpeedCloseD", "-1", "WindSpeedCloseD must be at least 0"},
        {"TempsAvgCount", "301", "Capabilities/TempsAvgCount must be a whole number from 1 to 300"},
        {"COM Port", "2.5", "COM Port must be a whole number from 1 to 16"},
        {"COM Port", "16", ""},
        {"Port", "0", "Mqtt/Port must be a whole number from 1 to 65535"},
        {"Mqtt/KeepAliveSeconds", "5", "from 6 to 3600"},
        {"Mqtt/Host", "<script>alert(1)</script>", ""},
        {"Mqtt/TopicPrefix", "obs/#", "wildcards"},
        {"Mqtt/TopicPrefix", "/obs", "cannot start with"},
        {"Mqtt/Enabled", "maybe", "\"maybe\" is not a valid value for Mqtt/Enabled"},
        {"Latitude", "52,2", ""},
        {"Latitude", "", ""},
        {"Latitude", "91", "Latitude must be degrees from -90 to 90"},
        {"Longitude", "east", "Longitude must be degrees from -180 to 180"},
        {"Sky/K1", "104", ""},
        {"Sky/K1", "x", "not a valid value for Sky/K1"},
        {"g_bchkRainSounds", "2", "must be one of 0, 1"},
        {"Notify/NotifyWebhookUrl", "ftp://token@host/x", "must be an address starting with http:// or https://"},
        {"Notify/NotifySmtpUrl", "smtps://mail.example:465", ""},
        {"Safety/SafeDelayMinutes", "-1", "at least 0"},
        {"StaleAfterSeconds", "0", "from 1 to 86400"},
        {"Alpaca/UniqueID", "anything", ""}, // no rule: kept as typed
    };
    for (const Case &c : cases) {
        const QString problem = settingProblem(QString::fromLatin1(c.key), QString::fromUtf8(c.text));
        if (!*c.problem)
            EXPECT_EQ(problem, "") << c.key << " " << c.text;
        else
            EXPECT_TRUE(problem.contains(QString::fromUtf8(c.problem))) << c.key << ": " << problem.toStdString();
    }
    // A token in a refused address is not repeated.
    EXPECT_FALSE(settingProblem("Notify/NotifyPushUrl", "ftp://s3cr3t@x").contains("s3cr3t"));
}

namespace {
struct ServiceFixture : ::testing::Test {
    TempProfile p;
    Settings running;
    QStringList logged;
    QStringList followed;
    int averagingRestarts = 0;
    SettingsService service{[this] {
        SettingsServiceLinks links;
        links.settings = &running;
        links.profile = p.store.get();
        links.followers.settingsChanged = [this](const QStringList &keys) { followed << keys; };
        links.followers.restartWindows = [this] { ++averagingRestarts; };
        links.log = [this](const QString &line) { logged << line; };
        return links;
    }()};
};
} // namespace

TEST_F(ServiceFixture, ABadValueAnywhereSavesNothing)
{
    const SettingsOutcome out = service.apply({{"Mqtt/Host", "broker.lan"}, {"Sky/K1", "104"}, {"StepTime", "0"}}, "test");
    EXPECT_EQ(out.status, SettingsOutcome::Status::Refused);
    EXPECT_EQ(out.field, "StepTime");
    EXPECT_EQ(running.MqttHost, "localhost");
    EXPECT_EQ(running.SkyK1, 33);
    ProfileStore onDisk(p.path);
    EXPECT_EQ(onDisk.value(kDriverId, "Host", "Mqtt"), "");
    EXPECT_TRUE(logged.isEmpty());
    EXPECT_EQ(service.apply({{"NoSuchKey", "1"}}, "test").field, "NoSuchKey");
}

TEST_F(ServiceFixture, ABatchIsSavedAppliedAndLoggedWithoutValues)
{
    const SettingsOutcome out = service.apply({{"Host", "broker.lan"}, {"Mqtt/Password", "hunter2"}, {"Sky/K1", "104"},
                                               {"WindsAvgCnt", "20"}, {"Notify/NotifyEveryMinutes", "30"},
                                               {"COM Port", "3"}},
                                              "web 127.0.0.1");
    ASSERT_EQ(out.status, SettingsOutcome::Status::Applied) << out.message.toStdString();
    EXPECT_EQ(out.applied, (QStringList{"Mqtt/Host", "Mqtt/Password", "Sky/K1", "Capabilities/WindsAvgCnt"}));
    EXPECT_EQ(out.restartNeeded, (QStringList{"Notify/NotifyEveryMinutes", "COM Port"}));
    EXPECT_EQ(running.MqttHost, "broker.lan");
    EXPECT_EQ(running.SkyK1, 104);
    ProfileStore onDisk(p.path);
    EXPECT_EQ(onDisk.value(kDriverId, "Host", "Mqtt"), "broker.lan");
    EXPECT_EQ(onDisk.value(kDriverId, "K1", "Sky"), "104");
    EXPECT_EQ(onDisk.value(kDriverId, "COM Port"), "3");
    EXPECT_TRUE(followed.contains("Mqtt/Host"));
    EXPECT_EQ(averagingRestarts, 1);
    EXPECT_TRUE(logged.contains("setting Mqtt/Password changed by web 127.0.0.1"));
    EXPECT_FALSE(logged.join('\n').contains("hunter2"));
    // Only what changed is logged and followed.
    logged.clear();
    followed.clear();
    ASSERT_EQ(service.apply({{"Mqtt/Host", "broker.lan"}}, "web").status, SettingsOutcome::Status::Applied);
    EXPECT_TRUE(logged.isEmpty());
    EXPECT_TRUE(followed.isEmpty());
}

TEST_F(ServiceFixture, TheDescriptionGivesNoSecret)
{
    ASSERT_EQ(service.apply({{"Mqtt/Password", "hunter2"}, {"Mqtt/Host", "<b>x</b>"}}, "t").status,
              SettingsOutcome::Status::Applied);
    const QByteArray text = QJsonDocument(describeSettings(service)).toJson();
    EXPECT_FALSE(text.contains("hunter2"));
    EXPECT_TRUE(text.contains("<b>x</b>"));
    const QJsonArray groups = describeSettings(service).value("groups").toArray();
    QStringList names;
    for (const QJsonValue &g : groups)
        names << g["name"].toString();
    for (const char *wanted : {"Site", "Notifications", "MQTT", "Weather data file", "Services", "Web", "Sky correction"})
        EXPECT_TRUE(names.contains(wanted)) << wanted;
}

TEST(SettingsGate, OnlyThisComputerAndNotThroughAProxy)
{
    struct Case {
        const char *peer;
        QByteArray header;
        bool allowed;
    };
    for (const Case &c : {Case{"127.0.0.1", "", true}, Case{"::1", "", true}, Case{"::ffff:127.0.0.1", "", true},
                          Case{"192.168.1.20", "", false}, Case{"127.0.0.1", "X-Forwarded-For", false},
                          Case{"127.0.0.1", "Forwarded", false}}) {
        HttpRouteRequest r{"POST", "/tarnwick/v1/settings", {}, "{}"};
        r.peer = QString::fromLatin1(c.peer);
        if (!c.header.isEmpty())
            r.headers.append({c.header, "203.0.113.9"});
        const std::optional<HttpRouteReply> refused = loopbackOnlyGate(r);
        EXPECT_EQ(!refused, c.allowed) << c.peer << " " << c.header.constData();
        if (refused) {
            EXPECT_EQ(refused->status, 403);
            EXPECT_TRUE(refused->body.contains("tarnwick config set-password"));
        }
    }
}
