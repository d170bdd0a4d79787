// Every window of the program on a real X screen with a window manager (run by
// with_window_manager.sh at 1366x768 and at 1920x1080): once framed, each
// frame, title bar and borders included, lies within the screen.
#include "app/app.h"
#include "app/command_line.h"
#include "app/desktop/desktop_app.h"
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
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QScreen>
#include <QTimer>
#include <QTest>
#include <gtest/gtest.h>

namespace {
bool framedWithin(const QWidget *w, const QRect &area)
{
    return w->isVisible() && w->frameGeometry() != w->geometry() && area.contains(w->frameGeometry());
}

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

// The user's way to the advanced view: Setup from the hand box shows the
// basic dialog (wherever the user has dragged it, the bottom of the screen
// included), and "Advanced >>" is clicked in it, at once or once framed. The grown dialog stays on
// the screen, title bar and bottom edge included.
TEST(WindowPlacement, AdvancedClickedInTheShownDialogStaysOnTheScreen)
{
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run by with_window_manager.sh";
    resetProgram();
    TempProfile profile;
    writeDefaultsIfNeeded(*profile.store);
    auto app = Main(parseCommandLine({"tarnwick", "--simulate", "--no-alpaca", "--no-archive", "--log-dir", profile.dir.path()}),
                    *profile.store);
    frmSetup *setup = app->setup->dialog();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    struct Place {
        const char *where;
        bool framedFirst;  // the window manager has framed it before the click
        bool dragToBottom;
    } places[] = {{"clicked at once", false, false}, {"where it opens", true, false}, {"dragged to the bottom", true, true}};
    std::vector<QString> seen;
    size_t next = 0;
    auto conn = QObject::connect(setup, &frmSetup::shown, setup, [&] {
        QTimer::singleShot(0, setup, [&] {
            const Place &p = places[next++];
            // Shown again, the frame can take a while to be reported.
            if (p.framedFirst)
                QTest::qWaitFor([&] { return framedWithin(setup, area); }, 3000);
            if (p.dragToBottom) {
                setup->move(setup->x(), area.bottom() + 1 - setup->frameGeometry().height());
                QTest::qWait(300);
            }
            QTest::mouseClick(setup->findChild<QPushButton *>(QStringLiteral("cmdAdvanced")), Qt::LeftButton);
            EXPECT_TRUE(setup->AdvancedMode());
            // The window manager answers the new size; nothing moves it out again.
            QTest::qWaitFor([&] { return framedWithin(setup, area); }, 8000);
            QTest::qWait(500);
            if (!framedWithin(setup, area))
                seen.push_back(QString::fromLatin1(p.where) + QStringLiteral(": ") + describe(setup));
            setup->cmdCancel_Click();
        });
    });
    for (size_t i = 0; i < std::size(places); ++i)
        app->setup->run();
    QObject::disconnect(conn);
    EXPECT_EQ(next, std::size(places));
    for (const QString &s : seen)
        ADD_FAILURE() << qPrintable(s) << " outside " << area.width() << "x" << area.height();
    app.reset();
    resetProgram();
}

// OK refused on the Connections page: the red line above the fields makes
// the page taller, and the dialog makes room for it rather than scrolling,
// sideways least of all.
TEST(WindowPlacement, RefusedConnectionsMakeNothingScrollSideways)
{
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run by with_window_manager.sh";
    resetProgram();
    TempProfile profile;
    writeDefaultsIfNeeded(*profile.store);
    profile.store->writeValue(kDriverId, "UploadServices", "get|Mine|http://127.0.0.1/x|soon", kUploadSubKey);
    auto app = Main(parseCommandLine({"tarnwick", "--simulate", "--no-alpaca", "--no-archive", "--log-dir", profile.dir.path()}),
                    *profile.store);
    frmSetup *setup = app->setup->dialog();
    auto *scroll = setup->findChild<QScrollArea *>(QStringLiteral("setupScroll"));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    bool refused = false, sideways = true, down = true;
    auto conn = QObject::connect(setup, &frmSetup::shown, setup, [&] {
        QTimer::singleShot(0, setup, [&] {
            QTest::qWaitFor([&] { return framedWithin(setup, area); }, 3000);
            QTest::mouseClick(setup->findChild<QPushButton *>(QStringLiteral("cmdAdvanced")), Qt::LeftButton);
            QTest::qWait(300);
            QTest::mouseClick(setup->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
            QTest::qWait(500);
            refused = setup->isVisible() && !setup->connectionsError().isEmpty();
            sideways = scroll->horizontalScrollBar()->isVisible();
            down = scroll->verticalScrollBar()->isVisible();
            setup->cmdCancel_Click();
        });
    });
    app->setup->run();
    QObject::disconnect(conn);
    EXPECT_TRUE(refused);
    EXPECT_FALSE(sideways);
    EXPECT_FALSE(down) << "the whole page fits a " << area.width() << "x" << area.height() << " screen";
    app.reset();
    resetProgram();
}
