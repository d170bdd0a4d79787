#include "app/app.h"
#include "app/desktop/desktop_app.h"

#include "app/command_line.h"
#include "app/config_command.h"
#include "focuser/focuser_routines.h"
#include "windows/gui_messages.h"
#include "app/program.h"
#include "message_recorder.h"
#include "temp_profile.h"
#include "station/station_cycle.h"
#include "windows/hand_box.h"
#include "windows/upload_setup.h"
#include "windows/upload_window.h"

#include "alpaca/http_client.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QStandardPaths>
#include <QTcpServer>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include "windows/graphs_setup.h"
#include <QtCharts/QLineSeries>
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
    std::unique_ptr<DesktopApp> app;
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
    EXPECT_TRUE(app->model->timerEnabled());
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(app->model->checkState(HandBoxField::TempCompCB), 1);
    EXPECT_EQ(app->model->checkState(HandBoxField::AllowAsyncWindCB), 1);
    // Only the board search spoke: it found no board and the station runs on.
    ASSERT_EQ(messages.texts.size(), 2);
    EXPECT_EQ(messages.texts[0], "Looking for Weather serial on Com Port = 2\non /nonexistent/ttyTEST");
    EXPECT_TRUE(messages.texts[1].startsWith("Could not open Weather serial on Com Port = 2\n"
                                             "cannot open /nonexistent/ttyTEST: no such device"));
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
    EXPECT_EQ(app->model->windowLeftPx(), 100);
    EXPECT_EQ(prog().settings.Position, 1234);
    EXPECT_EQ(prog().settings.WindTimer, 122);
    EXPECT_EQ(stored("WindTimer"), "soon");
    EXPECT_EQ(stored("COM Port"), "2");
    ASSERT_EQ(messages.texts.size(), 3);
    EXPECT_TRUE(messages.texts[0].contains("WindTimer") && messages.texts[0].contains("soon"));
}

// A hand-written profile names a few keys: the rest take their defaults
// silently and are written; only the bad value present is reported.
TEST_F(StartupTest, HandWrittenProfileMissingKeysReportsOnlyItsBadValues)
{
    {
        QFile f(profile.path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Tarnwick.Focuser]\nRegVer=2.10\nWindTimer=soon\nRainOnTime=45\nTop=high\n");
    }
    profile.reopen();
    start();
    ASSERT_EQ(messages.texts.size(), 3) << messages.texts.join('|').toStdString();
    const QString notice = messages.texts[0];
    EXPECT_TRUE(notice.contains("WindTimer") && notice.contains("soon") && notice.contains("\"Top\""));
    EXPECT_FALSE(notice.contains("Absolute"));
    EXPECT_EQ(notice.count('\n'), 2); // a heading and one line per bad value
    EXPECT_EQ(prog().settings.RainOnTime, 45);
    EXPECT_EQ(stored("Absolute"), "True");
    EXPECT_EQ(stored("TempMax", "Capabilities"), "5.0");
    EXPECT_EQ(stored("WindTimer"), "soon"); // left for its owner to mend
}

// A place stored on a larger screen: the hand box and the upload window
// beside it open within this one.
TEST_F(StartupTest, StoredPlaceOffTheScreenIsBroughtIntoView)
{
    prepareProfile(*profile.store);
    profile.store->writeValue(kDriverId, "Left", "5000");
    profile.store->writeValue(kDriverId, "Top", "3000");
    start();
    const QRect area = box->screen()->availableGeometry();
    EXPECT_TRUE(area.contains(box->frameGeometry())) << box->frameGeometry().x() << "," << box->frameGeometry().y() << " " << area.width() << "x" << area.height();
    QWidget *upload = app->uploadWindow->window();
    ASSERT_NE(upload, nullptr);
    EXPECT_TRUE(area.contains(upload->frameGeometry())) << upload->frameGeometry().x();
}

TEST_F(StartupTest, ClientStartedRunsMinimisedAndSavesTheRestoredPlace)
{
    prepareProfile(*profile.store);
    profile.store->writeValue(kDriverId, "Left", "140");
    profile.store->writeValue(kDriverId, "Top", "60"); // the whole box on the 800x800 test screen
    start({"--automation"});
    EXPECT_FALSE(prog().StartedByUser);
    EXPECT_TRUE(box->isMinimized());
    prog().settings.Temp = 12.5;
    SaveOnExit(app->focuser);
    EXPECT_FALSE(box->isMinimized());
    EXPECT_EQ(stored("Left"), "140");
    EXPECT_EQ(stored("Top"), "60");
    EXPECT_EQ(stored("Temp"), "12.5");
    EXPECT_EQ(stored("Position"), "17");
    EXPECT_FALSE(app->model->timerEnabled());
}

TEST_F(StartupTest, SimulateWiresTheStationToTheBuiltInBoard)
{
    const CommandLine cl = parseCommandLine({"tarnwick", "--simulate", "--no-alpaca", "--no-archive"});
    app = Main(cl, *profile.store);
    box = app->handBox.get();
    EXPECT_TRUE(app->serialDeviceOverride.startsWith(QStringLiteral("/dev/pts/")));
    EXPECT_TRUE(app->model->timerEnabled());
    // The record the search read is shown and served before the first tick.
    ASSERT_TRUE(app->watch.status().lastLive);
    EXPECT_FALSE(app->model->fieldText(HandBoxField::RH).isEmpty());
    app->cycle->run();
    EXPECT_EQ(messages.texts.size(), 1);
    EXPECT_FALSE(app->model->fieldText(HandBoxField::DewPointT).isEmpty());
    EXPECT_NE(app->weather.StationRecord, kTestRecord);
    // The graphs plot the watch's observation, handed to the window thread.
    app->graphs->show(true, box);
    QCoreApplication::processEvents();
    GraphWindow *temps = app->graphs->temperatures();
    for (int i = 0; i < 5; ++i)
        temps->tick();
    ASSERT_EQ(temps->series(2)->count(), 1);
    EXPECT_EQ(temps->series(2)->at(0).y(), temperaturePlotValue(app->weather.AmbientTempAvgC));
    EXPECT_NE(temps->series(2)->at(0).y(), 0);
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
    for (const QStringList &late : {QStringList{"tarnwick", "config", "--profile", "p.ini", "get", "WindTimer"},
                                    QStringList{"tarnwick", "config", "get", "WindTimer", "--profile=p.ini"}}) {
        cl = parseCommandLine(late);
        EXPECT_EQ(cl.profilePath, "p.ini");
        EXPECT_EQ(cl.configArgs, (QStringList{"get", "WindTimer"}));
    }
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

// The window-system libraries a process has mapped (none for the service's program).
static QStringList windowLibrariesMapped(qint64 pid)
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    if (!maps.open(QIODevice::ReadOnly))
        return {QStringLiteral("maps unreadable")};
    static const QRegularExpression windowSystem(
        QStringLiteral("libQt6(Widgets|Gui|Charts|Multimedia|OpenGL)|libxcb|libX11|libwayland"));
    QStringList found;
    for (const QByteArray &line : maps.readAll().split('\n')) {
        const QString path = QString::fromUtf8(line.mid(line.lastIndexOf(' ') + 1));
        if (windowSystem.match(path).hasMatch() && !found.contains(path))
            found << path;
    }
    return found;
}

// The service's program, started by systemd socket activation for a client:
// the three devices answer on the socket handed over, no window-system
// library is mapped, and the last client's release ends the program (systemd
// starts it again on the next connection).
TEST(ProgramProcessTest, SocketActivatedAutomationRunEndsWithTheLastClient)
{
    const QString activate = QStandardPaths::findExecutable(QStringLiteral("systemd-socket-activate"));
    ASSERT_FALSE(activate.isEmpty()) << "systemd-socket-activate is not installed (Debian package systemd)";
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
    proc.setArguments({"-l", QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral(TARNWICKD_BINARY),
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
    EXPECT_EQ(windowLibrariesMapped(proc.processId()), QStringList());
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

TEST(ConfigCommandTest, UnknownKeysAndValuesTheSetupDialogRefusesAreErrors)
{
    TempProfile p;
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    EXPECT_EQ(runConfigCommand(*p.store, {"get", "WindTmer"}, out, err), 2);
    EXPECT_EQ(runConfigCommand(*p.store, {"set", "windtimer", "5"}, out, err), 2);
    err.flush();
    EXPECT_TRUE(errText.contains("did you mean WindTimer")) << errText.toStdString();
    EXPECT_EQ(p.store->value(kDriverId, "windtimer"), "");
    for (const auto &[key, value] : std::vector<std::pair<QString, QString>>{
             {"COM Port", "17"}, {"COM Port", "0"}, {"COM Port", "2.5"}, {"TempsAvgCount", "0"},
             {"WindsAvgCnt", "301"}, {"Capabilities/TempsAvgCount", "1000"}, {"Ports/COM 40", "/dev/ttyS0"},
             {"StepTime", "0"}, {"MaxInc", "0"}, {"MaxInc", "-1"}})
        EXPECT_EQ(runConfigCommand(*p.store, {"set", key, value}, out, err), 2) << key.toStdString();
    err.flush();
    EXPECT_TRUE(errText.contains("StepTime must be above 0 (not \"0\")")) << errText.toStdString();
    EXPECT_TRUE(errText.contains("MaxInc must be above 0 (not \"0\")")) << errText.toStdString();
    EXPECT_NE(p.store->value(kDriverId, "StepTime"), "0");
    EXPECT_NE(p.store->value(kDriverId, "MaxInc"), "0");
    EXPECT_EQ(p.store->value(kDriverId, "COM Port"), "2");
    EXPECT_EQ(p.store->value(kDriverId, "TempsAvgCount", "Capabilities"), "1");
    // The edges themselves, and keys the profile already holds, are fine.
    EXPECT_EQ(runConfigCommand(*p.store, {"set", "COM Port", "16"}, out, err), 0);
    EXPECT_EQ(runConfigCommand(*p.store, {"set", "WindsAvgCnt", "300"}, out, err), 0);
    EXPECT_EQ(runConfigCommand(*p.store, {"set", "Ports/COM 16", "/dev/ttyUSB0"}, out, err), 0);
    p.store->writeValue(kDriverId, "UniqueID", "abc", "Alpaca");
    EXPECT_EQ(runConfigCommand(*p.store, {"get", "Alpaca/UniqueID"}, out, err), 0);
}

namespace {
int runTarnwick(const QStringList &args, QString *errText = nullptr)
{
    QProcess proc;
    proc.start(QStringLiteral(TARNWICK_BINARY), args);
    if (!proc.waitForFinished(20000))
        return -1;
    if (errText)
        *errText = QString::fromLocal8Bit(proc.readAllStandardError());
    return proc.exitCode();
}

struct RunningProgram {
    QProcess proc;
    RunningProgram(const TempProfile &p)
    {
        proc.start(QStringLiteral(TARNWICK_BINARY), {"--headless", "--no-alpaca", "--profile", p.path, "--log-dir",
                                                     p.dir.path(), "--serial-device", "/nonexistent/ttyTEST"});
        proc.waitForStarted(5000);
        for (int i = 0; i < 200 && ProfileStore(p.path).value(kDriverId, "COM Port").isEmpty(); ++i)
            QTest::qWait(50);
    }
    int stop()
    {
        proc.terminate();
        proc.waitForFinished(10000);
        return proc.exitCode();
    }
};
} // namespace

// A running program writes its values back at exit: "config set" goes
// through it, so the change is in effect at once and kept at exit.
TEST(ProgramProcessTest, ConfigSetWhileTheProgramRunsGoesThroughItAndIsKept)
{
    TempProfile p;
    RunningProgram program(p);
    QString errText;
    EXPECT_EQ(runTarnwick({"config", "set", "WindTimer", "200", "--profile", p.path}, &errText), 0) << errText.toStdString();
    EXPECT_EQ(ProfileStore(p.path).value(kDriverId, "WindTimer"), "200");
    EXPECT_EQ(runTarnwick({"config", "--profile", p.path, "get", "WindTimer"}), 0);
    EXPECT_EQ(program.stop(), 0);
    EXPECT_EQ(ProfileStore(p.path).value(kDriverId, "WindTimer"), "200");
}

TEST(ProgramProcessTest, ConfigSetsAtTheSameTimeLoseNoUpdate)
{
    TempProfile p;
    ASSERT_EQ(runTarnwick({"--profile", p.path, "config", "list"}), 0);
    for (int round = 1; round <= 6; ++round) {
        QProcess a, b;
        const QString n = QString::number(round);
        a.start(QStringLiteral(TARNWICK_BINARY), {"--profile", p.path, "config", "set", "WindTimer", n});
        b.start(QStringLiteral(TARNWICK_BINARY), {"--profile", p.path, "config", "set", "RainOnTime", n});
        ASSERT_TRUE(a.waitForFinished(20000) && b.waitForFinished(20000));
        EXPECT_EQ(a.exitCode() + b.exitCode(), 0) << a.readAllStandardError().toStdString()
                                                  << b.readAllStandardError().toStdString();
        ProfileStore after(p.path);
        EXPECT_EQ(after.value(kDriverId, "WindTimer"), n);
        EXPECT_EQ(after.value(kDriverId, "RainOnTime"), n);
    }
}

// A save at exit that cannot reach the disk is said on standard error and in
// the exit status.
TEST(ProgramProcessTest, FailedSaveAtExitEndsWithAnErrorStatus)
{
    QTemporaryDir dir;
    TempProfile logs;
    const QString folder = dir.path() + "/conf";
    QDir().mkpath(folder);
    QProcess proc;
    proc.start(QStringLiteral(TARNWICK_BINARY), {"--headless", "--no-alpaca", "--profile", folder + "/profile.ini",
                                                 "--log-dir", logs.dir.path(), "--serial-device", "/nonexistent/tty"});
    ASSERT_TRUE(proc.waitForStarted(5000));
    for (int i = 0; i < 200 && ProfileStore(folder + "/profile.ini").value(kDriverId, "COM Port").isEmpty(); ++i)
        QTest::qWait(50);
    // The folder becomes a plain file: no write can land, also for root.
    ASSERT_TRUE(QDir(dir.path()).rename("conf", "moved"));
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    proc.terminate();
    ASSERT_TRUE(proc.waitForFinished(10000));
    EXPECT_EQ(proc.exitStatus(), QProcess::NormalExit);
    EXPECT_NE(proc.exitCode(), 0);
    EXPECT_TRUE(proc.readAllStandardError().contains("not saved at exit"));
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
// message box is shown without waiting for it (the search and the first
// reading go on at once) and answers itself when nobody does.
TEST(TimedMessageTest, BoxHoldsNothingUpAndClosesByItself)
{
    installMessageBoxes(false);
    QElapsedTimer clock;
    clock.start();
    showTimedMessage(QStringLiteral("Looking for Weather serial on Com Port = 2\non /dev/ttyS1"), 300);
    EXPECT_LT(clock.elapsed(), 200);
    auto shownBox = [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<QMessageBox *>(w) && w->isVisible())
                return true;
        return false;
    };
    EXPECT_TRUE(shownBox());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !shownBox(); }, 3000));
    setMessageHandler({});
}
