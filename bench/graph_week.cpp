// Drives both graph windows (offscreen) through a week of one-second samples
// as fast as it can, and prints the cost of one new point (the ticks that make
// it plus a synchronous repaint of the window) and resident memory at day 1
// and day 7: with a bounded view both stay flat.
//   graph_week [days] [picture.png]   (default 7 days; the picture shows both windows after day 1)
#include "proc_status.h"
#include "windows/graph_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QtCharts/QLineSeries>
#include <cmath>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>


int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int days = argc > 1 ? std::max(2, atoi(argv[1])) : 7;

    Observation obs;
    QDateTime now = QDateTime::currentDateTimeUtc();
    qint64 second = 0;
    std::vector<std::unique_ptr<GraphWindow>> windows;
    windows.emplace_back(newTemperaturesWindow(nullptr));
    windows.emplace_back(newWindHumidityWindow(nullptr));
    for (auto &w : windows) {
        w->setClock([&now] { return now; });
        w->sampleTimer().stop(); // the benchmark ticks them itself
        w->show();
    }
    app.processEvents();

    auto oneSecond = [&] {
        ++second;
        now = now.addSecs(1);
        obs.ambientC = 10 + 8 * std::sin(double(second) / 40000);
        obs.thermopileC = obs.ambientC - 20;
        obs.skyC = obs.humidityPercent = obs.dewPointC = obs.windCurrent = 20 + 5 * std::sin(double(second) / 3000);
        obs.rainReading = 300 + int(second % 97);
        obs.rainMean = obs.rainReading;
        for (auto &w : windows) {
            w->setObservation(obs);
            w->tick();
        }
    };
    // Cost of one point: its five samples, the plot, and painting both windows
    // (processor time of this thread: other programs on the machine do not count).
    auto measure = [&](int day) {
        const int points = 200;
        std::vector<double> cpuMs;
        for (int k = 0; k < points; ++k) {
            timespec a{}, b{};
            ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &a);
            for (int s = 0; s < 5; ++s)
                oneSecond();
            for (auto &w : windows)
                w->repaint();
            ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &b);
            cpuMs.push_back(double(b.tv_sec - a.tv_sec) * 1e3 + double(b.tv_nsec - a.tv_nsec) / 1e6);
        }
        std::sort(cpuMs.begin(), cpuMs.end());
        double sum = 0;
        for (double v : cpuMs)
            sum += v;
        std::printf("day %d: new point %.3f ms mean, %.3f ms median of processor (both windows, painted); "
                    "RSS %.1f MB; %lld points in view per series\n",
                    day, sum / points, cpuMs[points / 2], residentKb() / 1024.0,
                    (long long)windows.front()->series(0)->count());
        std::fflush(stdout);
        return cpuMs[points / 2];
    };

    QElapsedTimer wall;
    wall.start();
    double first = 0, last = 0;
    long firstRss = 0, lastRss = 0;
    for (int day = 1; day <= days; ++day) {
        const qint64 plain = 86400 - 1000; // measuring takes the rest of the day
        for (qint64 s = 0; s < plain; ++s) {
            oneSecond();
            if (s % 300 == 0)
                app.processEvents(); // the updates a running program would paint
        }
        {
            const double ns = measure(day);
            (day == 1 ? first : last) = ns;
            (day == 1 ? firstRss : lastRss) = residentKb();
        }
        if (day == 1 && argc > 2) {
            const QPixmap a = windows[0]->grab(), b = windows[1]->grab();
            QPixmap both(std::max(a.width(), b.width()), a.height() + b.height());
            QPainter p(&both);
            p.drawPixmap(0, 0, a);
            p.drawPixmap(0, a.height(), b);
            p.end();
            both.save(QString::fromLocal8Bit(argv[2]));
        }
    }
    std::printf("%d days simulated in %.1f s; day %d against day 1: point cost (median) %+.1f %%, RSS %+.1f %% "
                "(goal: within 10 %%)\n",
                days, wall.elapsed() / 1000.0, days, (last / first - 1) * 100, (double(lastRss) / firstRss - 1) * 100);
    return 0;
}
