// The watch runs without windows and never waits for one.
#include "app/app.h"
#include "app/startup.h"

#include "app/command_line.h"
#include "archive/archive.h"
#include "core/profile_store.h"
#include "core/program.h"
#include "core/settings.h"
#include "message_recorder.h"
#include "station/station_cycle.h"
#include "station/station_link.h"
#include "station/watch_model.h"
#include "temp_profile.h"
#include "windows/run_setup_dialog.h"
#include "windows/setup_dialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QSet>
#include <QTest>
#include <gtest/gtest.h>

namespace {
int lineCount(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? int(f.readAll().count('\n')) : 0;
}

QStringList unsafeNames(const SafetyVerdict &v)
{
    QStringList names;
    for (const UnsafeCondition &c : v.unsafe)
        names << c.name + QLatin1Char(':') + c.text;
    return names;
}

// Events delivered until `done` holds or `ms` have passed.
bool waitFor(const std::function<bool()> &done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QTest::qWait(20);
    }
    return true;
}

QSet<QWidget *> widgetsNow()
{
    const QWidgetList all = QApplication::allWidgets();
    return QSet<QWidget *>(all.begin(), all.end());
}
} // namespace

class WatchTest : public ::testing::Test {
protected:
    void SetUp() override { resetProgram(); }
    void TearDown() override
    {
        app.reset();
        resetProgram();
    }
    TempProfile profile;
    std::unique_ptr<App> app;
    MessageRecorder messages;
};

TEST_F(WatchTest, HeadlessRunCreatesNoWidget)
{
    const QSet<QWidget *> before = widgetsNow();
    app = Main(parseCommandLine({"tarnwick", "--headless", "--simulate", "--no-alpaca", "--log-dir",
                                 profile.dir.path()}),
               *profile.store);
    ASSERT_TRUE(app->model->timerEnabled());
    int observations = 0;
    app->cycle->addObserver([&](const Observation &) { ++observations; });
    ASSERT_TRUE(waitFor([&] { return observations >= 2; }, 10000));
    app->model->unload();
    EXPECT_EQ(app->handBox, nullptr);
    EXPECT_EQ(widgetsNow(), before) << "a headless run made a widget";
}

// What the watch has done so far.
struct WatchCounts {
    int observations = 0;
    int logLines = 0;
    size_t archiveRows = 0;
};

// The setup dialog held open for 60 cycles of the watch (its clock at 100 ms):
// the board keeps being polled, the log and the archive keep growing, and the
// verdict on held weather stays as it was (a silent board would change it).
TEST_F(WatchTest, SetupDialogOpenDoesNotStopTheWatch)
{
    QFile control(profile.dir.filePath(QStringLiteral("weather")));
    ASSERT_TRUE(control.open(QIODevice::WriteOnly));
    control.write("rain=1\ncloud=0\nwind=0\n");
    control.close();
    qputenv("TARNWICK_SIMULATOR_CONTROL", control.fileName().toLocal8Bit());
    ProfileStore &store = *profile.store;
    writeDefaultsIfNeeded(store);
    store.writeValue(kDriverId, QStringLiteral("WindsAvgCnt"), QStringLiteral("2")); // a log line every 10 cycles
    store.writeValue(kDriverId, QStringLiteral("StaleAfterSeconds"), QStringLiteral("2"));
    app = Main(parseCommandLine({"tarnwick", "--simulate", "--no-alpaca", "--log-dir", profile.dir.path(), "--archive",
                                 profile.dir.filePath(QStringLiteral("archive.sqlite"))}),
               *profile.store);
    qunsetenv("TARNWICK_SIMULATOR_CONTROL");
    ASSERT_TRUE(app->archive);
    app->model->setTimerInterval(100);
    WatchCounts seen;
    app->cycle->addObserver([&](const Observation &o) {
        if (o.source == ObservationSource::Live)
            ++seen.observations;
    });
    auto now = [&] {
        WatchCounts c = seen;
        c.logLines = lineCount(app->log.filePath());
        const QDateTime t = QDateTime::currentDateTimeUtc();
        c.archiveRows = app->archive->observationsBetween(t.addSecs(-3600), t.addSecs(60)).size();
        return c;
    };
    // Judged on the board's readings, no longer on the search.
    ASSERT_TRUE(waitFor([&] { return app->watch.status().safety.known && now().logLines > 0; }, 20000));
    const SafetyVerdict before = app->watch.status().safety;
    ASSERT_FALSE(before.safe);

    WatchCounts atOpen, atClose;
    QTimer::singleShot(0, [&] { atOpen = now(); });
    QTimer::singleShot(6000, [&] {
        atClose = now();
        setupDialog()->cmdCancel_Click();
    });
    RunSetupDialog();
    EXPECT_GE(atClose.observations - atOpen.observations, 15); // a cycle waits for the board's answer
    EXPECT_GT(atClose.logLines, atOpen.logLines);
    EXPECT_GE(atClose.archiveRows - atOpen.archiveRows, size_t(15));
    const SafetyVerdict after = app->watch.status().safety;
    EXPECT_EQ(unsafeNames(after), unsafeNames(before));
    EXPECT_EQ(after.changed, before.changed);
}
