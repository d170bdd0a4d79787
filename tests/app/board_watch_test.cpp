// The whole program over real pseudo-terminals: the board pulled out and put
// back behind a stable link, a board that stops answering, no board at all,
// and what reaches the weather service and the log meanwhile.
#include "app/app.h"
#include "app/command_line.h"
#include "app/desktop/desktop_app.h"
#include "core/settings.h"
#include "message_recorder.h"
#include "station/board_simulator.h"
#include "station/serial_station_port.h"
#include "station/station_cycle.h"
#include "station/station_link.h"
#include "temp_profile.h"
#include "upload/capture_server.h"
#include "upload/uploads.h"
#include "station/watch_model.h"
#include "windows/hand_box.h"
#include "windows/status_strip.h"

#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class BoardWatch : public ::testing::Test {
protected:
    TempProfile profile;
    QTemporaryDir links;
    CaptureServer server;
    MessageRecorder messages;
    std::unique_ptr<DesktopApp> app;

    void SetUp() override
    {
        resetProgram();
        ProfileStore &p = *profile.store;
        writeDefaultsIfNeeded(p);
        p.writeValue(kDriverId, QStringLiteral("g_bAllow_PWS"), QStringLiteral("1"));
        p.writeValue(kDriverId, QStringLiteral("g_sPWS_site"), server.url(QStringLiteral("/update.php")));
        p.writeValue(kDriverId, QStringLiteral("StaleAfterSeconds"), QStringLiteral("2"));
    }
    void TearDown() override
    {
        if (app)
            app->upload->unload();
        app.reset();
        resetProgram();
    }

    void start(const QString &device)
    {
        const CommandLine cl = parseCommandLine(
            {"tarnwick", "--serial-device", device, "--no-alpaca", "--log-dir", profile.dir.path()});
        app = Main(cl, *profile.store);
        // Cycles as fast as the board answers; a silent board is noticed soon.
        app->model->setTimerInterval(100);
        app->port->setReceiveTimeoutMs(300);
    }
    BoardState state() const { return app->link->board().state; }
    bool waitForState(BoardState s, int ms) const
    {
        return QTest::qWaitFor([&] { return state() == s; }, ms);
    }
    int logLines() const
    {
        QFile f(profile.dir.path() + QStringLiteral("/log.txt"));
        return f.open(QIODevice::ReadOnly) ? int(f.readAll().count("\r\n")) : 0;
    }
    // The number of reports that reached the service.
    int reports() const { return server.connections(); }
};

TEST_F(BoardWatch, UnpluggedMidRunNothingOldGoesOutAndTheBoardComesBackBehindItsLink)
{
    auto sim = std::make_unique<BoardSimulator>(3);
    ASSERT_TRUE(sim->start()) << qPrintable(sim->errorText());
    const QString byId = links.path() + QStringLiteral("/usb-Tarnwick_board-if00");
    ASSERT_TRUE(QFile::link(sim->slavePath(), byId));
    start(byId);
    EXPECT_EQ(state(), BoardState::Live);
    EXPECT_EQ(app->link->board().device, sim->slavePath()); // the link followed
    EXPECT_FALSE(app->handBox->valuesGreyed());
    ASSERT_TRUE(server.waitForRequests(1, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return logLines() >= 1; }, 5000));
    EXPECT_TRUE(app->watch.status().lastLive);
    EXPECT_LE(app->watch.status().board.lastRecord.secsTo(QDateTime::currentDateTimeUtc()), 2);

    // Allow Temp off: the placeholders stay out of the report, the wind goes.
    app->model->setCheckState(HandBoxField::TempCompCB, 0);
    const int before = reports();
    ASSERT_TRUE(server.waitForRequests(before + 1, 10000));
    const QByteArray query = server.requests.last();
    EXPECT_FALSE(query.contains("tempf=")) << query.constData();
    EXPECT_FALSE(query.contains("humidity="));
    EXPECT_FALSE(query.contains("clouds="));
    EXPECT_TRUE(query.contains("windspeedmph=") && query.contains("windgustmph="));
    app->model->setCheckState(HandBoxField::TempCompCB, 1);

    sim.reset(); // the adapter is pulled out
    ASSERT_TRUE(waitForState(BoardState::Lost, 2000));
    EXPECT_TRUE(app->watch.status().board.reason.contains(QStringLiteral("error"), Qt::CaseInsensitive))
        << qPrintable(app->watch.status().board.reason);
    const int reportsAtLoss = reports();
    const int linesAtLoss = logLines();
    QTest::qWait(1500); // report periods pass with the old record in hand
    EXPECT_EQ(reports(), reportsAtLoss);
    EXPECT_EQ(logLines(), linesAtLoss);
    EXPECT_TRUE(app->upload->form().errorsText().contains(QStringLiteral("skipped: no live reading since ")));
    EXPECT_TRUE(app->handBox->valuesGreyed());
    EXPECT_TRUE(app->handBox->statusStrip()->boardText().startsWith(QStringLiteral("Board lost ")));
    ASSERT_TRUE(app->watch.status().latest);
    EXPECT_EQ(app->watch.status().latest->source, ObservationSource::Stale);

    // Plugged in again: a new device behind the same stable name.
    sim = std::make_unique<BoardSimulator>(4);
    ASSERT_TRUE(sim->start());
    QFile::remove(byId);
    ASSERT_TRUE(QFile::link(sim->slavePath(), byId));
    ASSERT_TRUE(waitForState(BoardState::Live, 5000)); // the next try, at most 4 s after this
    EXPECT_EQ(app->link->board().device, sim->slavePath());
    EXPECT_FALSE(app->handBox->valuesGreyed());
    ASSERT_TRUE(server.waitForRequests(reportsAtLoss + 1, 10000));
    EXPECT_TRUE(server.requests.last().contains("tempf="));
    EXPECT_GT(logLines(), linesAtLoss);
}

// The search's record is shown and served at once but counted nowhere: the
// windows, the log lines and the reports hold only the records the cycles polled.
TEST_F(BoardWatch, TheSearchRecordIsShownButOnlyTheCyclesRecordsAreCounted)
{
    BoardSimulator sim(6);
    ASSERT_TRUE(sim.start());
    profile.store->writeValue(kDriverId, QStringLiteral("WindsAvgCnt"), QStringLiteral("1")); // a line per 5 cycles
    start(sim.slavePath());
    app->model->setTimerInterval(3600 * 1000); // the cycles run below are the only ones
    ASSERT_EQ(state(), BoardState::Live);
    ASSERT_TRUE(app->watch.status().lastLive && app->watch.status().latest);
    EXPECT_FALSE(app->model->fieldText(HandBoxField::RH).isEmpty());
    EXPECT_EQ(app->weather.WindSpeed, app->watch.status().latest->windCurrent); // what a client reads is what is served
    for (int cycle = 0; cycle <= 10; ++cycle) {
        SCOPED_TRACE(cycle);
        if (cycle > 0)
            app->cycle->run();
        EXPECT_EQ(sim.protocol().polls(), cycle + 1); // the search's poll first
        EXPECT_EQ(app->weather.GustCycleCount, cycle);
        EXPECT_EQ(logLines(), cycle / 5);
    }
    ASSERT_TRUE(server.waitForRequests(2, 10000));
    QTest::qWait(300);
    EXPECT_EQ(reports(), 2);
}

TEST_F(BoardWatch, SilentBoardTurnsSilentAndLiveAgain)
{
    BoardSimulator sim(5);
    ASSERT_TRUE(sim.start());
    start(sim.slavePath());
    ASSERT_EQ(state(), BoardState::Live);
    sim.setAnswering(false);
    ASSERT_TRUE(waitForState(BoardState::Silent, 6000));
    const int reportsAtSilence = reports();
    const int linesAtSilence = logLines();
    QTest::qWait(1000);
    EXPECT_EQ(reports(), reportsAtSilence);
    EXPECT_EQ(logLines(), linesAtSilence);
    EXPECT_TRUE(app->handBox->statusStrip()->boardText().startsWith(QStringLiteral("Board silent for ")));

    sim.setAnswering(true);
    // Every failed try doubles the wait for the next (1, 2, 4, 8 s...): how many
    // failed depends on how long this test took, so the deadline follows the
    // next try rather than a fixed time.
    const QDateTime nextTry = app->link->nextBoardTry();
    ASSERT_TRUE(nextTry.isValid());
    const qint64 untilTry = std::max<qint64>(0, QDateTime::currentDateTimeUtc().msecsTo(nextTry));
    ASSERT_TRUE(waitForState(BoardState::Live, int(untilTry) + 4000)) << "next try was due in " << untilTry << " ms";
    ASSERT_TRUE(server.waitForRequests(reportsAtSilence + 1, 10000));
}

TEST_F(BoardWatch, ASimulatedBoardsMadeUpWeatherNeverReachesTheWeatherService)
{
    BoardSimulator sim(5);
    ASSERT_TRUE(sim.start());
    start(sim.slavePath());
    app->link->setSimulated(true); // as --simulate does, with the simulator behind a real pseudo-terminal
    ASSERT_TRUE(waitForState(BoardState::Simulated, 5000));
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return app->upload->form().errorsText().contains(QStringLiteral("the simulated board's readings are not sent")); },
        20000));
    EXPECT_EQ(reports(), 0);
    EXPECT_GT(logLines(), 0); // the log still takes them, for trying the program out
}

TEST_F(BoardWatch, NoBoardAtStartUpShowsTestValuesGreyedAndSendsNothing)
{
    start(QStringLiteral("/nonexistent/ttyNONE"));
    ASSERT_EQ(state(), BoardState::Absent);
    QTest::qWait(1500);
    EXPECT_EQ(app->model->fieldText(HandBoxField::RH), QStringLiteral("73")); // the test record
    EXPECT_TRUE(app->handBox->valuesGreyed());
    EXPECT_EQ(app->handBox->statusStrip()->boardText(),
              QStringLiteral("No board on /nonexistent/ttyNONE \u2014 showing test values"));
    EXPECT_EQ(reports(), 0);
    EXPECT_EQ(logLines(), 0);
    EXPECT_TRUE(app->upload->form().errorsText().contains(QStringLiteral("skipped: no live reading yet")));
}

} // namespace
