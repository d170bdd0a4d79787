// Every window of the program on a real X screen with a window manager (run by
// with_window_manager.sh at 1366x768 and at 1920x1080): once framed, each
// frame, title bar and borders included, lies within the screen.
#include "app/app.h"
#include "app/command_line.h"
#include "app/startup.h"
#include "app/program.h"
#include "core/settings.h"
#include "windows/traffic_setup.h"
#include "temp_profile.h"
#include "windows/upload_setup.h"
#include "windows/graphs_setup.h"
#include "windows/hand_box.h"
#include "windows/run_setup_dialog.h"
#include "windows/setup_dialog.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace {
QString describe(const QWidget *w)
{
    const QRect f = w->frameGeometry();
    return QStringLiteral("%1 frame %2,%3 %4x%5").arg(w->objectName()).arg(f.x()).arg(f.y()).arg(f.width()).arg(f.height());
}
} // namespace

TEST(WindowPlacement, EveryFrameIsOnTheScreen)
{
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run by with_window_manager.sh";
    const QString size = qEnvironmentVariable("TARNWICK_SCREEN");
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    ASSERT_EQ(QStringLiteral("%1x%2").arg(screen.width()).arg(screen.height()), size);

    resetProgram();
    TempProfile profile;
    writeDefaultsIfNeeded(*profile.store);
    auto app = Main(parseCommandLine({"tarnwick", "--simulate", "--no-alpaca", "--no-archive", "--log-dir", profile.dir.path()}),
                    *profile.store);
    app->graphs->show(true, app->handBox.get());
    showTrafficWindow(prog().TrafficWindow);
    frmSetup *setup = app->setup->dialog();
    setup->setAdvancedMode(true);
    setup->show();

    QList<QWidget *> windows;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->isWindow() && !w->windowTitle().isEmpty())
            windows << w;
    ASSERT_GE(windows.size(), 6) << "hand box, two graphs, traffic, upload and Advanced setup";
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    auto framedInside = [&] {
        for (QWidget *w : windows)
            if (w->frameGeometry() == w->geometry() || !area.contains(w->frameGeometry()))
                return false;
        return true;
    };
    QTest::qWaitFor(framedInside, 8000);
    QTest::qWait(500); // nothing moves them out again
    for (QWidget *w : windows) {
        EXPECT_NE(w->frameGeometry(), w->geometry()) << "not framed by the window manager: " << qPrintable(describe(w));
        EXPECT_TRUE(area.contains(w->frameGeometry())) << qPrintable(describe(w)) << " outside " << area.width() << "x" << area.height();
    }
    setup->hide();
    app->graphs->unload();
    app.reset();
    resetProgram();
}
