// The program with windows as a process: the display chosen before the
// application object, message boxes, and the watch on a thread of its own
// beside the windows. Headless it runs as the program without windows does.
#include "app/desktop/desktop_app.h"

#include "app/display_choice.h"
#include "app/watch_thread.h"
#include "windows/gui_messages.h"

#include <QApplication>

#include <cstdio>

namespace {
// While the display is tried, the plugins' own complaints would be more lines for one fact.
void quietPlatformTrials(QtMsgType type, const QMessageLogContext &context, const QString &msg)
{
    if (type != QtFatalMsg && context.category && QByteArray(context.category).startsWith("qt.qpa."))
        return;
    quietOffscreenNotes(type, context, msg);
}
// Headless, nobody looks at the windows: skipping their painting keeps the
// program's processor use to the station's own work.
class NoPainting : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::UpdateRequest || event->type() == QEvent::Paint)
            return true;
        return QObject::eventFilter(watched, event);
    }
};

std::unique_ptr<QCoreApplication> makeApplication(int &argc, char **argv, CommandLine &run)
{
    const DisplayEnvironment env = currentDisplayEnvironment();
    const DisplayChoice display = chooseDisplay(run.headless, env);
    if (!display.platforms.isEmpty())
        qputenv("QT_QPA_PLATFORM", display.platforms);
    run.headless = display.headless;
    if (!display.notice.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(display.notice));
    qInstallMessageHandler(display.fallbackArmed ? quietPlatformTrials : run.headless ? quietOffscreenNotes : nullptr);
    // Headless from the start, no platform plugin, font or widget machinery
    // is loaded: the run is the size of a daemon.
    std::unique_ptr<QCoreApplication> app =
        run.headless ? std::make_unique<QCoreApplication>(argc, argv) : std::make_unique<QApplication>(argc, argv);
    if (display.fallbackArmed) {
        run.headless = QGuiApplication::platformName() == QLatin1String("offscreen");
        if (run.headless)
            std::fprintf(stderr, "%s\n", qPrintable(unreachableDisplayNotice(env)));
        qInstallMessageHandler(run.headless ? quietOffscreenNotes : nullptr);
    }
    installMessageBoxes(run.headless);
    if (auto *gui = qobject_cast<QApplication *>(app.get())) {
        gui->setQuitOnLastWindowClosed(false);
        if (run.headless) { // a display that could not be reached
            app->installEventFilter(new NoPainting(app.get()));
            // A blinking text cursor nobody sees would wake the program twice a second.
            QApplication::setCursorFlashTime(0);
        }
    }
    return app;
}
} // namespace

int runProgram(int argc, char **argv, const CommandLine &cl)
{
    ProcessParts parts;
    parts.application = &makeApplication;
    // With windows, the watch runs beside them, its first board search
    // included; headless there is no window thread to stall, and one thread
    // keeps the run simple.
    parts.start = [](const CommandLine &run, ProfileStore &profile, std::function<void()> quit) {
        std::unique_ptr<DesktopApp> program = Main(run, profile, std::move(quit), !run.headless);
        if (!run.headless) {
            startWatchThread(*program);
            startWatchingOnItsThread(*program, profile);
        }
        return std::unique_ptr<App>(std::move(program));
    };
    return runProcess(argc, argv, cl, parts);
}
