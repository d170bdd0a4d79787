// The program with every window open (hand box, upload, both graphs,
// traffic) on the simulator, for idle_cost to measure: start-up as the
// program's own, with the watch on its thread beside the windows.
//   windows_open FOLDER PORT      (runs until terminated; needs a display)
#include "app/app.h"
#include "app/command_line.h"
#include "app/program.h"
#include "app/startup.h"
#include "app/watch_thread.h"
#include "core/profile_store.h"
#include "windows/graphs_setup.h"
#include "windows/hand_box.h"
#include "windows/traffic_setup.h"

#include <QApplication>
#include <csignal>
#include <memory>

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    QApplication qtApp(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    ProfileStore profile(folder + QStringLiteral("/profile.ini"));
    std::unique_ptr<App> app = Main(parseCommandLine({QStringLiteral("tarnwick"), QStringLiteral("--simulate"),
                                                      QStringLiteral("--log-dir"), folder, QStringLiteral("--archive"),
                                                      folder + QStringLiteral("/archive.sqlite"),
                                                      QStringLiteral("--alpaca-port"), QString::fromLocal8Bit(argv[2])}),
                                    profile, [] { QCoreApplication::quit(); });
    startWatchThread(*app);
    app->graphs->show(true, app->handBox.get());
    showTrafficWindow(prog().TrafficWindow);
    std::signal(SIGTERM, [](int) { std::_Exit(0); });
    return qtApp.exec();
}
