// The watch runs without windows and never waits for one.
#include "app/app.h"
#include "app/startup.h"

#include "app/command_line.h"
#include "core/program.h"
#include "message_recorder.h"
#include "station/station_cycle.h"
#include "station/station_link.h"
#include "station/watch_model.h"
#include "temp_profile.h"

#include <QApplication>
#include <QSet>
#include <QTest>
#include <gtest/gtest.h>

namespace {
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
    QTRY_VERIFY_WITH_TIMEOUT(observations >= 2, 10000);
    app->model->unload();
    EXPECT_EQ(app->handBox, nullptr);
    EXPECT_EQ(widgetsNow(), before) << "a headless run made a widget";
}
