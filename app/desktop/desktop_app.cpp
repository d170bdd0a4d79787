#include "app/desktop/desktop_app.h"

#include "app/archive_setup.h"
#include "app/desktop/window_setup.h"
#include "app/program.h"
#include "app/watch_thread.h"
#include "station/watch_model.h"
#include "upload/uploads.h"
#include "windows/graphs_setup.h"
#include "windows/hand_box.h"
#include "windows/run_setup_dialog.h"
#include "windows/upload_setup.h"

#include <QApplication>
#include <QPointer>

DesktopApp::DesktopApp() = default;

DesktopApp::~DesktopApp()
{
    // The watch comes back to this thread before its windows go: nothing
    // writes to them meanwhile.
    stopWatchThread(*this);
    if (graphs)
        graphs->setHistorySource({});
}

void DesktopApp::buildWindows(const CommandLine &cl)
{
    if (cl.headless)
        return;
    // A steady text cursor: a blinking one repaints twice a second, for
    // weeks, in a window that mostly just sits there (a quarter of the
    // windows' processor time).
    QApplication::setCursorFlashTime(0);
    handBox = std::make_unique<HandBox>(*model, prog().settings.AlwaysOnTop);
    handBox->setAttribute(Qt::WA_DeleteOnClose, false);
    graphs = std::make_unique<GraphWindows>();
}

void DesktopApp::installWindows()
{
    if (!handBox)
        return;
    installSetupDialog(*this);
    // A graph window opened after a restart shows its span from the archive.
    graphs->setHistorySource([this](const QDateTime &fromUtc, const QDateTime &toUtc) {
        return archivedObservations(*this, fromUtc, toUtc);
    });
    // A copy of the watch for the hand box, on the window's thread.
    QPointer<HandBox> window = handBox.get();
    watch.listen([window](const WatchStatus &status, WatchFeed::Change) {
        if (window)
            QMetaObject::invokeMethod(window, [window, status] { window->showWatch(status); });
    });
}

std::vector<std::function<void()>> DesktopApp::wireWindows()
{
    if (handBox && upload)
        uploadWindow = std::make_unique<UploadUi>(*upload);
    return wireWindowsAndButtons(*this);
}

void DesktopApp::showWindows()
{
    ::showWindows(*this);
}

void DesktopApp::runSetupDialog()
{
    if (setup)
        setup->run();
    else
        SetupProcedure::sayNotShown(); // headless
}

void DesktopApp::unloadWindows()
{
    if (graphs)
        graphs->unload();
}

std::unique_ptr<DesktopApp> Main(const CommandLine &cl, ProfileStore &profile, std::function<void()> quit,
                                 bool watchLater)
{
    auto app = std::make_unique<DesktopApp>();
    app->quit = std::move(quit);
    startUp(*app, cl, profile, watchLater);
    return app;
}
