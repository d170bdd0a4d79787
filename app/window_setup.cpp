#include "app/window_setup.h"

#include "app/app.h"
#include "app/automation_setup.h"
#include "app/control_setup.h"
#include "app/mqtt_setup.h"
#include "app/watch_thread.h"
#include "app/program.h"
#include "focuser/focuser_routines.h"
#include "focuser/motion.h"
#include "screen/screen_fit.h"
#include "station/station_cycle.h"
#include "station/station_link.h"
#include "station/watch_model.h"
#include "upload/services.h"
#include "windows/upload_setup.h"
#include "windows/upload_window.h"
#include "windows/graphs_setup.h"
#include "windows/hand_box.h"
#include "windows/run_setup_dialog.h"
#include "windows/traffic_setup.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>

// The setup dialog loads hidden; sounds play through its player.
void installSetupDialog(App &a)
{
    SetupLinks setup;
    setup.settings = &prog().settings;
    setup.profile = prog().profile;
    setup.headless = prog().headless;
    setup.handBox = a.model.get();
    setup.currentValue = [&a] { return a.weather.WindSpeed; };
    // What follows OK is what follows a change from the settings page.
    const SettingsFollowers follow = settingsFollowers(a);
    setup.restartWindows = follow.restartWindows;
    setup.resetPosition = [&a](bool absolute, double maxStep) {
        bool done = false;
        onWatchThread(a, [&] { done = ResetPosition(prog().settings, absolute, maxStep); });
        return done;
    };
    setup.refreshFocuser = follow.refreshFocuser;
    setup.boardDeviceChosen = [&a] { a.link->deviceChoiceConfirmed(); };
    setup.onWatch = [&a](const std::function<void()> &step) { onWatchThread(a, step); };
    setup.servicesProblems = &uploadServicesProblems;
    setup.settingsChanged = follow.settingsChanged;
    a.setup = std::make_unique<SetupProcedure>(setup);
    // A sound asked for by the watch's thread plays on the window thread; the
    // watch does not wait for it.
    a.player.setPlay([&a](const QString &path) {
        if (QThread::currentThread() == QCoreApplication::instance()->thread())
            return a.setup && a.setup->playWaveFile(path);
        onWindowThread([&a, path] {
            if (a.setup)
                a.setup->playWaveFile(path);
        });
        return true;
    });
}

// What closing the watch runs, and what the hand box's buttons open.
void wireClosingAndButtons(App &a, std::function<void()> exitSaveFailed)
{
    // Closing runs where the watch runs; the windows close on their own
    // thread, in order, and the program ends after them.
    ClosingSteps closing;
    closing.onUnload = {[&a] {
                            onWindowThread([&a] {
                                if (a.setup)
                                    a.setup->unload();
                            });
                        },
                        [] { onWindowThread([] { unloadTrafficWindow(prog().TrafficWindow); }); },
                        [&a] {
                            onWindowThread([&a] {
                                if (a.upload)
                                    a.upload->unload();
                            });
                        },
                        [&a] { onWindowThread([&a] { a.graphs->unload(); }); },
                        [&a, exitSaveFailed] {
                            if (!SaveOnExit(a.focuser) && exitSaveFailed)
                                exitSaveFailed();
                        }};
    closing.clientsRemain = [&a] { return a.focuser.ClientCount > 0; };
    closing.quit = [&a] {
        onWindowThread([&a] {
            if (a.quit)
                a.quit();
        });
    };
    a.model->setClosing(closing);
    a.model->setTick([&a] { a.cycle->run(); });
    // Headless, the procedure says why it shows nothing. A client's call from
    // the watch's thread opens it on the window thread without waiting for it.
    a.focuser.runSetupDialog = [&a] {
        onWindowThread([&a] {
            if (a.setup)
                a.setup->run();
            else
                SetupProcedure::sayNotShown(); // headless
        });
    };
    if (!a.handBox)
        return;
    HandBoxActions actions;
    actions.runSetupDialog = [&a] { a.setup->run(); };
    actions.showTrafficWindow = [] { showTrafficWindow(prog().TrafficWindow); };
    actions.showUploadWindow = [&a] { a.upload->show(); };
    actions.showGraphs = [&a](bool show) { a.graphs->show(show, a.handBox.get()); };
    a.handBox->setActions(actions);
    // Each observation reaches the graphs on the window thread, a copy each.
    HandBox *box = a.handBox.get();
    a.cycle->addObserver([&a, box](const Observation &o) {
        QMetaObject::invokeMethod(box, [&a, o] { a.graphs->offerObservation(o); });
    });
}

// The start mode decides the window state (a program started for a client
// starts minimized); then the hand box and the upload window show.
void showWindows(App &a)
{
    if (prog().StartedByUser)
        a.model->showWindow();
    else
        a.model->showMinimizedWindow();
    HandBox *handBox = a.handBox.get();
    if (!handBox)
        return;
    // A place stored on a larger (or another) screen is brought into view,
    // once the window has its shown size.
    keepOnScreen(handBox);
    a.upload->show();
    // First shown beside the hand box rather than over it.
    if (QWidget *upload = a.upload->window()) {
        // On the left when the right side has no room for it.
        const QRect hand = handBox->frameGeometry();
        const QRect area = availableAreaFor(handBox);
        int x = hand.right() + 12;
        const int width = upload->frameGeometry().width();
        if (x + width > area.right() + 1 && hand.left() - 12 - width >= area.left())
            x = hand.left() - 12 - width;
        upload->move(x, handBox->y());
        keepOnScreen(upload);
        // A screen too small for both: the readings stay in front, once the
        // window manager has put the upload window up.
        if (upload->frameGeometry().intersects(handBox->frameGeometry()))
            QTimer::singleShot(500, handBox, [handBox] {
                handBox->raise();
                handBox->activateWindow();
            });
    }
}

