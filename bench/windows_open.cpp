// The program with every window open (hand box, upload, both graphs,
// traffic) on the simulator, for idle_cost to measure: start-up as the
// program's own, with the watch on its thread beside the windows.
//   windows_open FOLDER PORT      (runs until terminated; needs a display)
// With WINDOWS_OPEN_PAINTS=N set it writes to standard error, every N
// seconds, which widgets were painted, laid out, moved or resized and how often.
#include "app/app.h"
#include "app/command_line.h"
#include "app/program.h"
#include "app/desktop/desktop_app.h"
#include "app/watch_thread.h"
#include "core/profile_store.h"
#include "windows/graphs_setup.h"
#include "windows/hand_box.h"
#include "windows/traffic_setup.h"

#include <QApplication>
#include <QMap>
#include <QPaintEvent>
#include <QTimer>
#include <QWidget>
#include <csignal>
#include <cstdio>
#include <memory>

namespace {
// Counts paint events per widget (class and name, or its parent's name).
class PaintCounter : public QObject {
public:
    explicit PaintCounter(int seconds)
    {
        QObject::connect(&m_report, &QTimer::timeout, this, [this] { report(); });
        m_report.start(seconds * 1000);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if ((type == QEvent::LayoutRequest || type == QEvent::Resize || type == QEvent::Move) && watched->isWidgetType())
            ++m_counts[QStringLiteral("%1 of %2 %3")
                           .arg(type == QEvent::LayoutRequest ? "layout" : type == QEvent::Resize ? "resize" : "move",
                                QString::fromLatin1(watched->metaObject()->className()), watched->objectName())];
        if (event->type() == QEvent::Paint && watched->isWidgetType()) {
            QString name = watched->objectName();
            if (name.isEmpty() && watched->parent())
                name = QStringLiteral("(in ") + watched->parent()->objectName() + QLatin1Char(')');
            const QRect r = static_cast<QPaintEvent *>(event)->rect();
            ++m_counts[QStringLiteral("%1 %2 %3x%4").arg(QString::fromLatin1(watched->metaObject()->className()), name)
                           .arg(r.width()).arg(r.height())];
        }
        return false;
    }

private:
    void report()
    {
        std::fprintf(stderr, "paints in the last %d s:\n", m_report.interval() / 1000);
        for (auto it = m_counts.cbegin(); it != m_counts.cend(); ++it)
            std::fprintf(stderr, "%6d  %s\n", it.value(), qPrintable(it.key()));
        m_counts.clear();
    }
    QTimer m_report;
    QMap<QString, int> m_counts;
};
} // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    QApplication qtApp(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    ProfileStore profile(folder + QStringLiteral("/profile.ini"));
    std::unique_ptr<DesktopApp> app = Main(parseCommandLine({QStringLiteral("tarnwick"), QStringLiteral("--simulate"),
                                                      QStringLiteral("--log-dir"), folder, QStringLiteral("--archive"),
                                                      folder + QStringLiteral("/archive.sqlite"),
                                                      QStringLiteral("--alpaca-port"), QString::fromLocal8Bit(argv[2])}),
                                    profile, [] { QCoreApplication::quit(); });
    startWatchThread(*app);
    app->graphs->show(true, app->handBox.get());
    showTrafficWindow(prog().TrafficWindow);
    std::signal(SIGTERM, [](int) { std::_Exit(0); });
    std::unique_ptr<PaintCounter> paints;
    if (const int every = qEnvironmentVariableIntValue("WINDOWS_OPEN_PAINTS"); every > 0) {
        paints = std::make_unique<PaintCounter>(every);
        qtApp.installEventFilter(paints.get());
    }
    return qtApp.exec();
}
