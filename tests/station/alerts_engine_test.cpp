// The alert evaluator with a recording player and launcher, and the real launcher.
#include "app/program.h"
#include "message_recorder.h"
#include "station/alert_engine.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct Recorder : SoundPlayer, ProgramLauncher {
    QStringList events;
    void play(const QString &path) override { events << QStringLiteral("sound ") + path; }
    void start(const QString &commandLine) override { events << QStringLiteral("app ") + commandLine; }
};

class AlertEngineTest : public ::testing::Test {
protected:
    Recorder rec;
    AlertEngine engine{prog().settings, rec, rec};
    Settings &s = prog().settings;

    void SetUp() override
    {
        resetProgram();
        s.g_bchkEnableSounds = 1;
        s.g_bchkRainSounds = 1;
        s.g_sRainSounds = QStringLiteral("rain.wav");
        s.g_bchkRainApp = 1;
        s.g_sRainApp = QStringLiteral("rain-app");
        s.g_bchkWindSounds = 1;
        s.g_sWindSounds = QStringLiteral("wind.wav");
        s.g_bchkWindApp = 1;
        s.g_sWindApp = QStringLiteral("wind-app");
        s.g_sCloudSounds = QStringLiteral("cloud.wav");
        s.g_sLightSounds = QStringLiteral("light.wav");
    }
    void TearDown() override { resetProgram(); }

    void rain(int cycles, bool holds = true)
    {
        for (int i = 0; i < cycles; ++i)
            engine.evaluate(AlertKind::Rain, holds);
    }
};

} // namespace

TEST_F(AlertEngineTest, OncePerSpellUnlessRepeating)
{
    rain(10);
    EXPECT_EQ(rec.events, QStringList({"sound rain.wav", "app rain-app"}));
    EXPECT_EQ(engine.soundCount(AlertKind::Rain), 10);

    rec.events.clear();
    rain(1, false);
    s.g_bchkRepeatSounds = 1;
    rain(3);
    EXPECT_EQ(rec.events, QStringList({"sound rain.wav", "app rain-app", "sound rain.wav", "sound rain.wav"}));

    rec.events.clear();
    s.g_bchkRepeatSounds = 0;
    s.g_bchkRepeatApp = 1;
    rain(2);
    EXPECT_EQ(rec.events, QStringList({"app rain-app", "app rain-app"}));
}

TEST_F(AlertEngineTest, DryEvaluationReArms)
{
    rain(2);
    rain(1, false);
    EXPECT_EQ(engine.soundCount(AlertKind::Rain), 0);
    EXPECT_EQ(engine.appCount(AlertKind::Rain), 0);
    rain(1);
    EXPECT_EQ(rec.events.count(QStringLiteral("sound rain.wav")), 2);
    EXPECT_EQ(rec.events.count(QStringLiteral("app rain-app")), 2);
}

TEST_F(AlertEngineTest, MasterSwitchOnDuringSpellAlertsAtNextEvaluation)
{
    s.g_bchkEnableSounds = 0;
    rain(5);
    EXPECT_TRUE(rec.events.isEmpty());
    EXPECT_EQ(engine.soundCount(AlertKind::Rain), 0);
    s.g_bchkEnableSounds = 2; // only 1 counts as on
    rain(1);
    EXPECT_TRUE(rec.events.isEmpty());
    s.g_bchkEnableSounds = 1;
    rain(1);
    EXPECT_EQ(rec.events, QStringList({"sound rain.wav", "app rain-app"}));
}

TEST_F(AlertEngineTest, MasterSwitchOffAndOnWithinASpellDoesNotAlertAgain)
{
    rain(2);
    s.g_bchkEnableSounds = 0;
    rain(2);
    s.g_bchkEnableSounds = 1;
    rain(2);
    EXPECT_EQ(rec.events, QStringList({"sound rain.wav", "app rain-app"}));
}

TEST_F(AlertEngineTest, KindsKeepTheirOwnFilesAndCounters)
{
    engine.evaluate(AlertKind::Wind, true);
    engine.evaluate(AlertKind::Wind, true);
    rain(1);
    engine.evaluate(AlertKind::Cloud, true); // sound and program off for cloud
    EXPECT_EQ(rec.events, QStringList({"sound wind.wav", "app wind-app", "sound rain.wav", "app rain-app"}));
    EXPECT_EQ(engine.soundCount(AlertKind::Wind), 2);
    EXPECT_EQ(engine.soundCount(AlertKind::Cloud), 0);

    s.g_bchkLightSounds = 1;
    s.g_bchkRainApp = 0;
    rec.events.clear();
    engine.evaluate(AlertKind::Light, true);
    rain(1, false);
    rain(1);
    EXPECT_EQ(rec.events, QStringList({"sound light.wav", "sound rain.wav"}));
}

TEST_F(AlertEngineTest, WavePlayerEvaluatesRaisedConditions)
{
    s.g_bchkRainApp = 0;
    int played = 0;
    QStringList paths;
    WaveFilePlayer player;
    DetachedLauncher launcher;
    AlertEngine installed(prog().settings, player, launcher);
    player.setPlay([&](const QString &path) {
        ++played;
        paths << path;
        return false; // not played: nothing else may happen
    });
    installed.evaluate(AlertKind::Rain, true);
    installed.evaluate(AlertKind::Rain, true);
    EXPECT_EQ(played, 1);
    EXPECT_EQ(paths, QStringList({"rain.wav"}));
    EXPECT_EQ(installed.soundCount(AlertKind::Rain), 2);

    // An empty sound path never reaches the player.
    installed.evaluate(AlertKind::Rain, false);
    s.g_sRainSounds.clear();
    installed.evaluate(AlertKind::Rain, true);
    EXPECT_EQ(played, 1);
}

TEST(DetachedLauncherTest, StartsACommandLineAndIgnoresBadOnesSilently)
{
    MessageRecorder messages;
    DetachedLauncher launcher;
    launcher.start(QString());
    launcher.start(QStringLiteral("/nonexistent/folder/no-such-program --flag"));
    launcher.start(QStringLiteral("\"\""));

    QTemporaryDir dir;
    const QString marker = dir.filePath(QStringLiteral("started with args"));
    launcher.start(QStringLiteral("/usr/bin/touch \"%1\"").arg(marker));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(marker); }, 5000));

    // A chosen program whose path holds spaces, unquoted as the file chooser gives it.
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("My Alerts")));
    QFile script(dir.filePath(QStringLiteral("My Alerts/rain alarm.sh")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\ntouch \"$(dirname \"$0\")/rang\"\n");
    script.close();
    script.setPermissions(script.permissions() | QFile::ExeOwner);
    launcher.start(script.fileName());
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(dir.filePath(QStringLiteral("My Alerts/rang"))); }, 5000));
    EXPECT_TRUE(messages.texts.isEmpty());
}
