// The program as a process: the config and history commands, the display
// chosen, the application object, signals, and the exit status.
#include "app/process_signals.h"
#include "app/startup.h"

#include "app/app.h"
#include "app/config_command.h"
#include "app/display_choice.h"
#include "app/history_command.h"
#include "app/sky_history_commands.h"
#include "app/watch_thread.h"
#include "archive/archive_schema.h"
#include "core/profile_lock.h"
#include "core/profile_store.h"
#include "station/watch_model.h"
#include "windows/gui_messages.h"

#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTextStream>
#include <QThread>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalFds[2] = {-1, -1};
WatchModel *g_watch = nullptr; // closed by SIGTERM and SIGINT
// Set once the program is to end. An exit asked for before the main loop runs
// (during the board search's waits) would otherwise be lost.
bool g_quitRequested = false;
// The save at exit did not reach the disk: the process says so by its status.
bool g_exitSaveFailed = false;

void requestQuit()
{
    g_quitRequested = true;
    QCoreApplication::exit(0);
}

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalFds[0], &c, 1);
}

// SIGTERM and SIGINT close the hand box as a user would, from the event loop.
void installSignalHandlers(QObject *parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalFds) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalFds[1], QSocketNotifier::Read, parent);
    QObject::connect(notifier, &QSocketNotifier::activated, parent, [] {
        char c;
        [[maybe_unused]] const ssize_t n = ::read(g_signalFds[1], &c, 1);
        // Closed where the watch runs (the settings are saved there); waiting
        // for the watch is fine, the watch never waits for this thread.
        if (WatchModel *watch = g_watch)
            QMetaObject::invokeMethod(watch, [watch] { watch->unload(); },
                                      watch->thread() == QThread::currentThread() ? Qt::DirectConnection
                                                                                  : Qt::BlockingQueuedConnection);
        requestQuit();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

} // namespace

void closeOnSignal(WatchModel *watch)
{
    g_watch = watch;
}

void markExitSaveFailed()
{
    g_exitSaveFailed = true;
}

namespace {
// The offscreen platform reports window calls it cannot honour; headless,
// nobody can act on those lines.
void quietOffscreenNotes(QtMsgType type, const QMessageLogContext &context, const QString &msg)
{
    if (type == QtWarningMsg && msg.startsWith(QLatin1String("This plugin does not support")))
        return;
    if (type == QtWarningMsg && msg.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, msg)));
}
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
} // namespace

namespace {
// Qt takes the user's locale for the C library too; the station's numbers are
// read and written with a decimal point whatever the desktop's language.
void keepDecimalPoint()
{
    std::setlocale(LC_NUMERIC, "C");
}
} // namespace

int runProgram(int argc, char **argv, const CommandLine &cl)
{
    const QString profilePath = cl.profilePath.isEmpty() ? ProfileStore::defaultPath() : cl.profilePath;
    if (cl.isConfig) {
        QCoreApplication app(argc, argv);
        keepDecimalPoint();
        QTextStream out(stdout);
        QTextStream err(stderr);
        return runConfigAt(profilePath, cl.configArgs, out, err);
    }
    if (cl.isHistory || cl.isCalibrateSky) {
        QCoreApplication app(argc, argv);
        keepDecimalPoint();
        QTextStream out(stdout);
        QTextStream err(stderr);
        const QString archivePath = cl.archivePath.isEmpty() ? defaultArchivePath() : cl.archivePath;
        if (cl.isCalibrateSky)
            return runCalibrateSkyCommand(archivePath, storedSettings(profilePath), cl.calibrateSkyArgs,
                                          QDateTime::currentDateTimeUtc(), out, err);
        if (cl.historyArgs.contains(QStringLiteral("--nights")))
            return runNightsCommand(archivePath, siteLocation(storedSettings(profilePath)), cl.historyArgs,
                                    QDateTime::currentDateTimeUtc(), out, err);
        return runHistoryCommand(cl.archivePath.isEmpty() ? defaultArchivePath() : cl.archivePath, cl.historyArgs,
                                 QDateTime::currentDateTimeUtc(), out, err);
    }

    // Held for the whole run: "config set" must not change a profile this
    // run would overwrite at its end.
    ProfileLock lock;
    if (lock.acquire(profilePath, 2000) == ProfileLock::Outcome::Busy) {
        std::fprintf(stderr, "tarnwick: the profile %s is in use by another running Tarnwick (process %lld); "
                             "one profile serves one program at a time\n",
                     qPrintable(QFileInfo(profilePath).absoluteFilePath()), static_cast<long long>(lock.holderPid()));
        return 3;
    }

    CommandLine run = cl;
    const DisplayEnvironment env = currentDisplayEnvironment();
    const DisplayChoice display = chooseDisplay(cl.headless, env);
    if (!display.platforms.isEmpty())
        qputenv("QT_QPA_PLATFORM", display.platforms);
    run.headless = display.headless;
    if (!display.notice.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(display.notice));
    // The plugins' own complaints while trying the display would be more lines for one fact.
    qInstallMessageHandler(display.fallbackArmed ? quietPlatformTrials : run.headless ? quietOffscreenNotes : nullptr);
    // Headless from the start, no platform plugin, font or widget machinery
    // is loaded: the run is the size of a daemon.
    const std::unique_ptr<QCoreApplication> application =
        run.headless ? std::make_unique<QCoreApplication>(argc, argv) : std::make_unique<QApplication>(argc, argv);
    QCoreApplication &app = *application;
    keepDecimalPoint();
    if (display.fallbackArmed) {
        run.headless = QGuiApplication::platformName() == QLatin1String("offscreen");
        if (run.headless)
            std::fprintf(stderr, "%s\n", qPrintable(unreachableDisplayNotice(env)));
        qInstallMessageHandler(run.headless ? quietOffscreenNotes : nullptr);
    }
    QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));
    installMessageBoxes(run.headless);
    if (auto *gui = qobject_cast<QApplication *>(&app)) {
        gui->setQuitOnLastWindowClosed(false);
        if (run.headless) { // a display that could not be reached
            app.installEventFilter(new NoPainting(&app));
            // A blinking text cursor nobody sees would wake the program twice a second.
            QApplication::setCursorFlashTime(0);
        }
    }
    installSignalHandlers(&app);

    ProfileStore profile(profilePath);
    // With windows, the watch runs beside them, its first board search
    // included; headless there is no window thread to stall, and one thread
    // keeps the run simple.
    std::unique_ptr<App> program = Main(run, profile, [] { requestQuit(); }, !run.headless);
    if (!run.headless) {
        startWatchThread(*program);
        startWatchingOnItsThread(*program, profile);
    }
    const int status = g_quitRequested ? 0 : app.exec();
    g_watch = nullptr;
    program.reset();
    return status != 0 ? status : g_exitSaveFailed ? 1 : 0;
}
