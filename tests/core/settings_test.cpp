#include "core/settings.h"
#include "temp_profile.h"

#include <gtest/gtest.h>

TEST(Settings, FirstStartWritesStampAndEveryDefaultThenLoadsThem)
{
    TempProfile p;
    EXPECT_TRUE(writeDefaultsIfNeeded(*p.store));
    EXPECT_EQ(p.store->value(kDriverId, "RegVer"), "2.10");
    // Defaults go out in table order, RegVer first.
    const auto entries = p.store->entries();
    ASSERT_FALSE(entries.isEmpty());
    EXPECT_EQ(entries.front().name, "RegVer");
    Settings s;
    s.Position = 0;
    s.WindSpeedCloseD = 0;
    EXPECT_TRUE(loadSettings(*p.store, s).isEmpty());
    EXPECT_EQ(s.Position, 500);
    EXPECT_DOUBLE_EQ(s.WindSpeedCloseD, 17);
    EXPECT_DOUBLE_EQ(s.StepTime, 0.015);
    EXPECT_EQ(s.WindTimer, 122);
    EXPECT_DOUBLE_EQ(s.Thermistor_C, -0.000000713329);
    EXPECT_EQ(s.g_sPWS_name.size(), 9);
    EXPECT_EQ(s.g_sPWS_password.size(), 12);
    EXPECT_TRUE(s.g_sPWS_site.endsWith("/weatherstation/updateweatherstation.php"));
    EXPECT_EQ(p.store->value(kDriverId, "Left"), "100");
}

TEST(Settings, DefaultsInMemoryMatchTheStoredDefaults)
{
    TempProfile p;
    writeDefaultsIfNeeded(*p.store);
    Settings fresh;
    for (const SettingDef &d : settingTable()) {
        const QString key = QString::fromLatin1(d.key);
        if (key == "RegVer" || key == "Left" || key == "Top")
            continue;
        Settings loaded;
        loadSettings(*p.store, loaded);
        EXPECT_EQ(settingText(loaded, key), settingText(fresh, key)) << d.key;
    }
}

TEST(Settings, OtherStampResetsEverythingCurrentStampKeepsValues)
{
    TempProfile p;
    writeDefaultsIfNeeded(*p.store);
    p.store->writeValue(kDriverId, "Position", "1234");
    EXPECT_FALSE(writeDefaultsIfNeeded(*p.store));
    EXPECT_EQ(p.store->value(kDriverId, "Position"), "1234");

    // A key added since the stamp is filled in, silently, without touching the rest.
    ASSERT_TRUE(p.store->writeValue(kDriverId, "StaleAfterSeconds", ""));
    EXPECT_TRUE(writeDefaultsIfNeeded(*p.store));
    EXPECT_EQ(p.store->value(kDriverId, "StaleAfterSeconds"), "30");
    Settings loaded;
    EXPECT_TRUE(loadSettings(*p.store, loaded).isEmpty());
    loaded.StaleAfterSeconds = 0;
    EXPECT_EQ(staleLimitSeconds(loaded), 2);

    p.store->writeValue(kDriverId, "RegVer", "2.09");
    EXPECT_TRUE(writeDefaultsIfNeeded(*p.store));
    EXPECT_EQ(p.store->value(kDriverId, "Position"), "500");
    EXPECT_EQ(p.store->value(kDriverId, "RegVer"), "2.10");
}

TEST(Settings, CapabilitiesKeysLiveUnderTheirSubkeyOnly)
{
    TempProfile p;
    writeDefaultsIfNeeded(*p.store);
    int caps = 0;
    for (const SettingDef &d : settingTable())
        if (d.capabilities) {
            ++caps;
            EXPECT_EQ(p.store->value(kDriverId, d.key), "") << d.key;
            EXPECT_NE(p.store->value(kDriverId, d.key, "Capabilities"), "") << d.key;
        }
    EXPECT_EQ(caps, 10);
    // A same-named key at the top level is ignored.
    p.store->writeValue(kDriverId, "TempsAvgCount", "77");
    Settings s;
    loadSettings(*p.store, s);
    EXPECT_EQ(s.TempsAvgCount, 1);
    p.store->writeValue(kDriverId, "TempsAvgCount", "12", "Capabilities");
    loadSettings(*p.store, s);
    EXPECT_EQ(s.TempsAvgCount, 12);
}

TEST(Settings, BadStoredValueKeepsDefaultAndNamesKeyAndValue)
{
    TempProfile p;
    writeDefaultsIfNeeded(*p.store);
    p.store->writeValue(kDriverId, "WindTimer", "fast");
    p.store->writeValue(kDriverId, "Absolute", "");
    p.store->writeValue(kDriverId, "StepTime", "0.02");
    Settings s;
    const QStringList problems = loadSettings(*p.store, s);
    ASSERT_EQ(problems.size(), 2);
    EXPECT_TRUE(problems[0].contains("Absolute"));
    EXPECT_TRUE(problems[1].contains("WindTimer") && problems[1].contains("fast"));
    EXPECT_EQ(s.WindTimer, 122);
    EXPECT_TRUE(s.Absolute);
    EXPECT_DOUBLE_EQ(s.StepTime, 0.02);
    EXPECT_EQ(p.store->value(kDriverId, "WindTimer"), "fast"); // not overwritten
}

TEST(Settings, SaveSettingUsesTextFormAndSubkey)
{
    TempProfile p;
    Settings s;
    s.TempMax = 2.5;
    s.Absolute = false;
    s.Position = -3;
    saveSetting(*p.store, s, "TempMax");
    saveSetting(*p.store, s, "Absolute");
    saveSetting(*p.store, s, "Position");
    EXPECT_EQ(p.store->value(kDriverId, "TempMax", "Capabilities"), "2.5");
    EXPECT_EQ(p.store->value(kDriverId, "Absolute"), "False");
    EXPECT_EQ(p.store->value(kDriverId, "Position"), "-3");
}
