// The program as a process: the config and history commands, the profile
// lock, the application object, signals, and the exit status. The program
// without windows runs here as it is; the one with windows brings its display
// choice and its application object (app/desktop/desktop_program.cpp).
#include "app/process_signals.h"
#include "app/startup.h"

#include "app/app.h"
#include "app/config_command.h"
#include "app/password_command.h"
#include "app/history_command.h"
#include "app/sky_history_commands.h"
#include "app/watch_thread.h"
#include "archive/archive_schema.h"
#include "core/profile_lock.h"
#include "core/profile_store.h"
#include "station/watch_model.h"
#include "core/messages.h"

#include <QCoreApplication>
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

namespace {
// Qt takes the user's locale for the C library too; the station's numbers are
// read and written with a decimal point whatever the desktop's language.
void keepDecimalPoint()
{
    std::setlocale(LC_NUMERIC, "C");
}
} // namespace

int runProcess(int argc, char **argv, const CommandLine &cl, const ProcessParts &parts)
{
    const QString profilePath = cl.profilePath.isEmpty() ? ProfileStore::defaultPath() : cl.profilePath;
    if (cl.isConfig) {
        QCoreApplication app(argc, argv);
        keepDecimalPoint();
        QTextStream out(stdout);
        QTextStream err(stderr);
        return runConfigWithPassword(profilePath, cl.configArgs, out, err);
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
    const std::unique_ptr<QCoreApplication> application = parts.application(argc, argv, run);
    keepDecimalPoint();
    QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));
    installSignalHandlers(application.get());

    ProfileStore profile(profilePath);
    std::unique_ptr<App> program = parts.start(run, profile, [] { requestQuit(); });
    const int status = g_quitRequested ? 0 : application->exec();
    g_watch = nullptr;
    program.reset();
    return status != 0 ? status : g_exitSaveFailed ? 1 : 0;
}

int runWithoutWindows(int argc, char **argv, const CommandLine &cl)
{
    ProcessParts parts;
    parts.application = [](int &argc, char **argv, CommandLine &run) {
        run.headless = true;
        qInstallMessageHandler(quietOffscreenNotes);
        // Each message box is answered at once, its text one line on standard error.
        setMessageHandler([](const Message &m) {
            printNotice(m.title.isEmpty() ? m.text : m.title + QStringLiteral(": ") + m.text);
        });
        return std::make_unique<QCoreApplication>(argc, argv);
    };
    // One thread: there is no window thread to stall.
    parts.start = [](const CommandLine &run, ProfileStore &profile, std::function<void()> quit) {
        auto program = std::make_unique<App>();
        program->quit = std::move(quit);
        startUp(*program, run, profile);
        return program;
    };
    return runProcess(argc, argv, cl, parts);
}
