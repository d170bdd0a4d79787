// The whole program over a pseudo-terminal writes the weather data file: its
// values are the watch's observation, and a board pulled out shows as a
// growing age with both flags raised.
#include "app/app.h"
#include "app/command_line.h"
#include "app/desktop/desktop_app.h"
#include "core/settings.h"
#include "message_recorder.h"
#include "station/board_simulator.h"
#include "station/serial_station_port.h"
#include "station/station_link.h"
#include "temp_profile.h"
#include "upload/uploads.h"
#include "windows/hand_box.h"

#include <QFile>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

namespace {
// The fields as numbers; empty unless the file holds exactly one line of 21.
QList<double> fields(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = f.readAll();
    const QList<QByteArray> words = text.trimmed().split(' ');
    if (!text.endsWith('\n') || text.count('\n') != 1 || words.size() != 21)
        return {};
    QList<double> out{0, 0, 0, 0}; // date, time and the unit letters
    for (qsizetype i = 4; i < words.size(); ++i)
        out << words[i].toDouble();
    return out;
}
} // namespace

TEST(DataFileProgram, FollowsTheWatchAndAlertsWhenTheBoardIsPulled)
{
    resetProgram();
    MessageRecorder messages;
    TempProfile profile;
    const QString path = profile.dir.filePath("weather.txt");
    writeDefaultsIfNeeded(*profile.store);
    profile.store->writeValue(kDriverId, "WeatherDataFile", path);
    profile.store->writeValue(kDriverId, "StaleAfterSeconds", "2");
    auto sim = std::make_unique<BoardSimulator>(5);
    ASSERT_TRUE(sim->start()) << qPrintable(sim->errorText());
    std::unique_ptr<App> app = Main(parseCommandLine({"tarnwick", "--serial-device", sim->slavePath(), "--no-alpaca",
                                                      "--no-archive", "--log-dir", profile.dir.path()}),
                                    *profile.store);
    app->model->setTimerInterval(200);
    app->port->setReceiveTimeoutMs(300);
    ASSERT_TRUE(QTest::qWaitFor([&] { return app->watch.status().lastLive && !fields(path).isEmpty(); }, 10000));

    QList<double> f = fields(path);
    const Observation o = *app->watch.status().lastLive;
    // Written to a tenth.
    EXPECT_NEAR(f[4], -o.ambientMinusSkyC, 0.051);
    EXPECT_NEAR(f[5], o.ambientC, 0.051);
    EXPECT_NEAR(f[7], o.windCurrent, 0.051);
    EXPECT_NEAR(f[9], o.dewPointC, 0.051);
    EXPECT_LE(f[13], 1);
    const SafetyVerdict &v = app->watch.status().safety;
    EXPECT_EQ(f[20], v.known && v.safe ? 0 : 1);

    sim.reset(); // the adapter is pulled out
    ASSERT_TRUE(QTest::qWaitFor([&] { return app->link->board().state == BoardState::Lost; }, 3000));
    QTest::qWait(2500);
    f = fields(path);
    ASSERT_FALSE(f.isEmpty());
    const double age = f[13];
    EXPECT_GE(age, 2);
    EXPECT_EQ(f[15] + f[16] + f[17] + f[18], 0) << "no conditions from a board that is gone";
    EXPECT_EQ(f[19], 1);
    EXPECT_EQ(f[20], 1);
    QTest::qWait(1500);
    f = fields(path);
    ASSERT_FALSE(f.isEmpty());
    EXPECT_GT(f[13], age);

    app->upload->unload();
    app.reset();
    resetProgram();
}

// The program stopped cleanly (SIGTERM, as systemd stops it) leaves a line
// that closes the roof of a reader that looks at the flags alone.
TEST(DataFileProgram, ACleanStopLeavesBothFlagsRaised)
{
    TempProfile profile;
    const QString path = profile.dir.filePath("weather.txt"), ini = profile.dir.filePath("program.ini");
    QProcess::execute(QStringLiteral(TARNWICK_BINARY), {"--profile", ini, "config", "set", "WeatherDataFile", path});
    QProcess program;
    program.start(QStringLiteral(TARNWICK_BINARY), {"--headless", "--simulate", "--profile", ini, "--no-archive",
                                                    "--no-alpaca", "--log-dir", profile.dir.path()});
    ASSERT_TRUE(program.waitForStarted(5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { const QList<double> f = fields(path); return !f.isEmpty() && f[13] < 5; }, 30000))
        << "no line from a live board";
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(15000));
    const QList<double> f = fields(path);
    ASSERT_FALSE(f.isEmpty());
    EXPECT_EQ(f[13], 99999);
    EXPECT_EQ(f[19], 1);
    EXPECT_EQ(f[20], 1);
}
