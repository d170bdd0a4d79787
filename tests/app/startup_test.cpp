#include "app/app.h"
#include "app/startup.h"

#include "app/command_line.h"
#include "app/config_command.h"
#include "focuser/focuser_routines.h"
#include "windows/gui_messages.h"
#include "core/program.h"
#include "message_recorder.h"
#include "temp_profile.h"
#include "station/station_cycle.h"
#include "windows/hand_box.h"

#include "focuser/http_client.h"

#include <QFile>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QStandardPaths>
#include <QTcpServer>
#include <QProcess>
#include <QTest>
#include <QTextStream>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override { resetProgram(); }
    void TearDown() override
    {
        app.reset();
        resetProgram();
    }
    HandBox *start(const QStringList &args = {})
    {
        // No real serial device is ever touched by these tests.
        const CommandLine cl = parseCommandLine(QStringList{"tarnwick", "--serial-device", "/nonexistent/ttyTEST", "--no-alpaca"} + args);
        app = Main(cl, *profile.store);
        box = app->handBox.get();
        return box;
    }
    QString stored(const QString &key, const QString &sub = QString()) { return profile.store->value(kDriverId, key, sub); }

    TempProfile profile;
    std::unique_ptr<App> app;
    HandBox *box = nullptr;
    MessageRecorder messages;
};

TEST_F(StartupTest, FirstStartWritesDefaultsLoadsThemAndRuns)
{
    start();
    EXPECT_TRUE(profile.store->isRegistered(kDriverId));
    EXPECT_EQ(stored("RegVer"), "2.10");
    EXPECT_EQ(stored("COM Port"), "2");
    EXPECT_EQ(stored("TempMax", "Capabilities"), "5.0");
    EXPECT_DOUBLE_EQ(prog().settings.StepTime, 0.015);
    EXPECT_EQ(prog().settings.WindTimer, 122);
    // Absolute focuser: the stored 500 is held to the maximum step of 17.
    EXPECT_EQ(prog().settings.Position, 17);
    EXPECT_TRUE(prog().StartedByUser);
    EXPECT_EQ(app->weather.WindGust, -10);
    EXPECT_EQ(app->weather.StationRecord, kTestRecord);
    EXPECT_TRUE(box->timerEnabled());
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->checkState(HandBoxField::TempCompCB), 1);
    EXPECT_EQ(box->checkState(HandBoxField::AllowAsyncWindCB), 1);
    // Only the board search spoke: it found no board and the station runs on.
    EXPECT_EQ(messages.texts, (QStringList{"Looking for Weather serial on Com Port = 2",
                                           "Could not open Weather serial on Com Port = 2"}));
}

TEST_F(StartupTest, KeptValuesNegativePlacementAndBadValues)
{
    prepareProfile(*profile.store);
    profile.store->writeValue(kDriverId, "Left", "-5");
    profile.store->writeValue(kDriverId, "Top", "0");
    profile.store->writeValue(kDriverId, "Absolute", "False");
    profile.store->writeValue(kDriverId, "Position", "1234");
    profile.store->writeValue(kDriverId, "WindTimer", "soon");
    profile.store->writeValue(kDriverId, "COM Port", "");
    start();
    EXPECT_EQ(stored("Left"), "100");
    EXPECT_EQ(stored("Top"), "0");
    EXPECT_EQ(box->windowLeftPx(), 100);
    EXPECT_EQ(prog().settings.Position, 1234);
    EXPECT_EQ(prog().settings.WindTimer, 122);
    EXPECT_EQ(stored("WindTimer"), "soon");
    EXPECT_EQ(stored("COM Port"), "2");
    ASSERT_EQ(messages.texts.size(), 3);
    EXPECT_TRUE(messages.texts[0].contains("WindTimer") && messages.texts[0].contains("soon"));
}

TEST_F(StartupTest, ClientStartedRunsMinimisedAndSavesTheRestoredPlace)
{
    prepareProfile(*profile.store);
    profile.store->writeValue(kDriverId, "Left", "140");
    profile.store->writeValue(kDriverId, "Top", "90");
    start({"--automation"});
    EXPECT_FALSE(prog().StartedByUser);
    EXPECT_TRUE(box->isMinimized());
    prog().settings.Temp = 12.5;
    SaveOnExit(app->focuser);
    EXPECT_FALSE(box->isMinimized());
    EXPECT_EQ(stored("Left"), "140");
    EXPECT_EQ(stored("Top"), "90");
    EXPECT_EQ(stored("Temp"), "12.5");
    EXPECT_EQ(stored("Position"), "17");
    EXPECT_FALSE(box->timerEnabled());
}

TEST_F(StartupTest, SimulateWiresTheStationToTheBuiltInBoard)
{
    const CommandLine cl = parseCommandLine({"tarnwick", "--simulate", "--no-alpaca"});
    app = Main(cl, *profile.store);
    box = app->handBox.get();
    EXPECT_TRUE(app->serialDeviceOverride.startsWith(QStringLiteral("/dev/pts/")));
    EXPECT_TRUE(box->timerEnabled());
    app->cycle->run();
    EXPECT_EQ(messages.texts.size(), 1);
    EXPECT_FALSE(box->fieldText(HandBoxField::DewPointT).isEmpty());
    EXPECT_NE(app->weather.StationRecord, kTestRecord);
}

TEST_F(StartupTest, UnreadableProfileIsReportedAndLeftAlone)
{
    {
        QFile f(profile.path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[broken\n");
    }
    profile.reopen();
    start();
    ASSERT_FALSE(messages.texts.isEmpty());
    EXPECT_TRUE(messages.texts[0].contains(profile.path));
    EXPECT_EQ(prog().settings.WindTimer, 122);
    QFile f(profile.path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "[broken\n");
}

TEST(CommandLineTest, OptionsAndErrors)
{
    CommandLine cl = parseCommandLine({"tarnwick", "--headless", "--profile", "/tmp/x.ini", "--alpaca-port", "4000",
                                       "--no-alpaca", "--log-dir", "/tmp"});
    EXPECT_EQ(cl.outcome, CommandLine::Outcome::Run);
    EXPECT_TRUE(cl.headless);
    EXPECT_FALSE(cl.alpacaEnabled);
    EXPECT_EQ(cl.alpacaPort, 4000);
    EXPECT_EQ(cl.profilePath, "/tmp/x.ini");
    EXPECT_EQ(cl.logDir, "/tmp");

    for (const QStringList &bad : {QStringList{"tarnwick", "--alpaca-port", "70000"},
                                   QStringList{"tarnwick", "--alpaca-address", "not-an-ip"},
                                   QStringList{"tarnwick", "--frobnicate"}, QStringList{"tarnwick", "launch"},
                                   QStringList{"tarnwick", "config"}}) {
        cl = parseCommandLine(bad);
        EXPECT_EQ(cl.outcome, CommandLine::Outcome::ExitUsage) << bad.join(' ').toStdString();
        EXPECT_FALSE(cl.output.contains('\n'));
    }
    cl = parseCommandLine({"tarnwick", "--profile", "p.ini", "config", "set", "Ports/COM 2", "/dev/ttyUSB0"});
    EXPECT_TRUE(cl.isConfig);
    EXPECT_EQ(cl.configArgs, (QStringList{"set", "Ports/COM 2", "/dev/ttyUSB0"}));
    EXPECT_EQ(parseCommandLine({"tarnwick", "--help"}).outcome, CommandLine::Outcome::ExitOk);
}

TEST(ConfigCommandTest, ListGetSet)
{
    TempProfile p;
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    EXPECT_EQ(runConfigCommand(*p.store, {"get", "Capabilities/TempMax"}, out, err), 0);
    EXPECT_EQ(runConfigCommand(*p.store, {"get", "TempMax"}, out, err), 0);
    EXPECT_EQ(outText, "5.0\n5.0\n");
    EXPECT_EQ(runConfigCommand(*p.store, {"set", "TempsAvgCount", "5"}, out, err), 0);
    EXPECT_EQ(p.store->value(kDriverId, "TempsAvgCount", "Capabilities"), "5");
    EXPECT_EQ(runConfigCommand(*p.store, {"set", "Ports/COM 3", "/dev/ttyUSB0"}, out, err), 0);
    EXPECT_EQ(p.store->value(kDriverId, "COM 3", "Ports"), "/dev/ttyUSB0");
    EXPECT_EQ(runConfigCommand(*p.store, {"set", "WindTimer", "x"}, out, err), 2);
    EXPECT_EQ(runConfigCommand(*p.store, {"get", "Capabilities/Position"}, out, err), 2);
    outText.clear();
    EXPECT_EQ(runConfigCommand(*p.store, {"list"}, out, err), 0);
    out.flush();
    EXPECT_TRUE(outText.contains("Capabilities/TempMax=5.0\n"));
    EXPECT_TRUE(outText.contains("\nWindTimer=122\n"));
    EXPECT_TRUE(outText.contains("Ports/COM 3=/dev/ttyUSB0\n"));
    EXPECT_TRUE(outText.contains("Safety/UnsafeWhenOvercast=True\n"));
    EXPECT_EQ(runConfigCommand(*p.store, {"set", "SafeDelayMinutes", "5"}, out, err), 0);
    EXPECT_EQ(p.store->value(kDriverId, "SafeDelayMinutes", "Safety"), "5");
    EXPECT_EQ(runConfigCommand(*p.store, {"set", "Safety/UnsafeInDaylight", "maybe"}, out, err), 2);
}

TEST(ConfigCommandTest, AProfileFromBeforeTheSafetyKeysGetsTheirDefaultsOnce)
{
    TempProfile p;
    prepareProfile(*p.store);
    p.store->writeValue(kDriverId, "SafeDelayMinutes", "", "Safety"); // as a profile written before the key existed
    p.store->writeValue(kDriverId, "UnsafeProgram", "/opt/close-roof", "Safety");
    EXPECT_TRUE(writeDefaultsIfNeeded(*p.store));
    EXPECT_EQ(p.store->value(kDriverId, "SafeDelayMinutes", "Safety"), "10");
    EXPECT_EQ(p.store->value(kDriverId, "UnsafeProgram", "Safety"), "/opt/close-roof");
    EXPECT_FALSE(writeDefaultsIfNeeded(*p.store));
    Settings s;
    EXPECT_TRUE(loadSettings(*p.store, s).isEmpty());
}

// Started by systemd socket activation for a client: the three devices answer
// on the socket handed over, and the last client's release ends the program
// (systemd starts it again on the next connection).
TEST(ProgramProcessTest, SocketActivatedAutomationRunEndsWithTheLastClient)
{
    const QString activate = QStandardPaths::findExecutable(QStringLiteral("systemd-socket-activate"));
    if (activate.isEmpty())
        GTEST_SKIP() << "systemd-socket-activate is not installed";
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    TempProfile p;
    QProcess proc;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    proc.setProcessEnvironment(env);
    proc.setProgram(activate);
    proc.setArguments({"-l", QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral(TARNWICK_BINARY), "--headless",
                       "--automation", "--simulate", "--profile", p.path, "--log-dir", p.dir.path()});
    proc.start();
    ASSERT_TRUE(proc.waitForStarted(5000));
    HttpAnswer a;
    for (int i = 0; i < 100 && a.status == 0; ++i) { // the listener needs a moment
        QTest::qWait(50);
        a = httpPut(port, "/api/v1/focuser/0/connected", "Connected=true&ClientID=3");
    }
    EXPECT_EQ(a.status, 200) << a.body.constData();
    EXPECT_EQ(httpGet(port, "/management/v1/configureddevices").json().value("Value").toArray().size(), 3);
    EXPECT_EQ(httpPut(port, "/api/v1/safetymonitor/0/connect", "ClientID=3").status, 200);
    EXPECT_EQ(httpGet(port, "/api/v1/safetymonitor/0/issafe?ClientID=3").json().value("ErrorNumber").toInt(), 0);
    // The focuser's client goes, the safety monitor's stays: the program keeps serving it.
    httpPut(port, "/api/v1/focuser/0/connected", "Connected=false&ClientID=3");
    EXPECT_FALSE(proc.waitForFinished(500));
    EXPECT_EQ(httpGet(port, "/api/v1/safetymonitor/0/issafe?ClientID=3").json().value("ErrorNumber").toInt(), 0);
    httpPut(port, "/api/v1/safetymonitor/0/disconnect", "ClientID=3");
    EXPECT_TRUE(proc.waitForFinished(15000)) << proc.readAllStandardError().constData();
    EXPECT_EQ(proc.exitCode(), 0);
    if (proc.state() != QProcess::NotRunning) {
        proc.kill();
        proc.waitForFinished(3000);
    }
}

// The real program, headless: starts, ticks, and saves its state on SIGTERM.
TEST(ProgramProcessTest, HeadlessRunSavesOnSigterm)
{
    TempProfile p;
    QProcess proc;
    proc.setProgram(QStringLiteral(TARNWICK_BINARY));
    proc.setArguments({"--headless", "--no-alpaca", "--profile", p.path, "--log-dir", p.dir.path(), "--serial-device",
                       "/nonexistent/ttyTEST"});
    proc.start();
    ASSERT_TRUE(proc.waitForStarted(5000));
    // Wait until start-up has written the port number, the last profile write of Main.
    for (int i = 0; i < 100 && ProfileStore(p.path).value(kDriverId, "COM Port").isEmpty(); ++i)
        QTest::qWait(50);
    QTest::qWait(300);
    proc.terminate();
    ASSERT_TRUE(proc.waitForFinished(10000));
    EXPECT_EQ(proc.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(proc.exitCode(), 0);
    ProfileStore after(p.path);
    EXPECT_EQ(after.value(kDriverId, "Position"), "17");
    EXPECT_EQ(after.value(kDriverId, "Left"), "100");
}

// A board that never answers holds the search in its waits for seconds; a
// SIGTERM then must still end the program, promptly and with its state saved.
TEST(ProgramProcessTest, SigtermDuringTheBoardSearchEndsTheProgram)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const QString slave = QString::fromLocal8Bit(::ptsname(master));

    TempProfile p;
    QProcess proc;
    proc.setProgram(QStringLiteral(TARNWICK_BINARY));
    proc.setArguments({"--headless", "--no-alpaca", "--profile", p.path, "--log-dir", p.dir.path(), "--serial-device",
                       slave});
    proc.start();
    ASSERT_TRUE(proc.waitForStarted(5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return proc.readAllStandardError().contains("Looking for Weather serial"); }, 10000));
    QTest::qWait(300); // inside the search's wait for the probe answer
    QElapsedTimer clock;
    clock.start();
    proc.terminate();
    ASSERT_TRUE(proc.waitForFinished(10000));
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(proc.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(proc.exitCode(), 0);
    EXPECT_EQ(ProfileStore(p.path).value(kDriverId, "Left"), "100");
    ::close(master);
}

// The board search's notices must not hold an unattended program: a real
// message box answers itself when nobody does.
TEST(TimedMessageTest, BoxClosesByItselfWhenNobodyAnswers)
{
    installMessageBoxes(false);
    QElapsedTimer clock;
    clock.start();
    showTimedMessage(QStringLiteral("Looking for Weather serial on Com Port = 2"), 100);
    EXPECT_LT(clock.elapsed(), 5000);
    setMessageHandler({});
}
