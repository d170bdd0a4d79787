// The archive's costs for a day of one-second observations from the
// simulator's weather: processor time per archived cycle (each row committed,
// as the running program does), file growth per day, and the time
// of a 24-hour query of observation rows and of the web page's summaries.
//   archive_bench [file]   (default: a temporary file; a given file is kept)
#include "archive/archive.h"
#include "archive/archive_query.h"
#include "station/simulated_weather.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

namespace {

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

Observation fromWeather(const SimulatedWeather &w, const QDateTime &utc, double gust)
{
    Observation o;
    o.utc = utc;
    o.ambientC = w.ambientC();
    o.thermopileC = w.ambientC() + 0.8;
    o.skyC = w.skyC();
    o.ambientMinusSkyC = o.ambientC - o.skyC;
    o.humidityPercent = w.relativeHumidity();
    o.dewPointC = o.ambientC - (100 - o.humidityPercent) / 5;
    o.rainReading = w.raining() ? 250 : 321;
    o.rainMean = o.rainReading;
    o.skyBrightness = w.brightness();
    o.windCurrent = w.windSpeedCounts() / 60;
    o.windAverage = o.windCurrent;
    o.windGust = gust;
    o.cloudy = o.ambientMinusSkyC < 22;
    o.sky = o.ambientMinusSkyC < 19 ? SkyClass::Overcast : o.cloudy ? SkyClass::PartlyCloudy : SkyClass::Clear;
    o.raining = w.raining();
    o.daylight = w.brightness() < 950;
    return o;
}

qint64 fileBytes(const QString &path)
{
    return QFileInfo(path).size() + QFileInfo(path + QStringLiteral("-wal")).size();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : dir.filePath(QStringLiteral("archive.sqlite"));
    const int days = 1;
    const qint64 cycles = 86400LL * days;
    const QDateTime end = QDateTime::currentDateTimeUtc();
    const QDateTime start = end.addSecs(-cycles);

    BoardStatus board;
    board.state = BoardState::Simulated;
    SimulatedWeather weather(7);
    double gust = 0;
    {
        Archive archive([](const QString &t) { std::fprintf(stderr, "%s\n", qPrintable(t)); });
        if (!archive.open(path))
            return 1;
        const qint64 before = fileBytes(path);
        double cpu = 0;
        for (qint64 i = 0; i < cycles; ++i) {
            // The simulator runs a day in 48 minutes; a real day here.
            weather.advance(1.0 / SimulatedWeather::kTimeScale);
            gust = i % 300 == 0 ? 0 : std::max(gust, weather.windSpeedCounts() / 60);
            const Observation o = fromWeather(weather, start.addSecs(i), gust);
            const double c0 = cpuSeconds();
            archive.add(o, board, {});
            cpu += cpuSeconds() - c0;
        }
        archive.flush();
        QSqlQuery(QSqlDatabase::database(archive.connectionName())).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        std::printf("archive: %lld cycles of one-second observations, each committed (WAL, synchronous=NORMAL)\n", cycles);
        std::printf("  processor time per archived cycle: %.1f us (goal <= 100 us)\n", cpu / double(cycles) * 1e6);
        std::printf("  growth: %.2f MB per day (goal <= 10 MB)\n", double(fileBytes(path) - before) / days / 1e6);
    }

    ArchiveReader reader;
    QString error;
    if (!reader.open(path, error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    for (int round = 0; round < 2; ++round) { // the second with the file in the page cache
        QElapsedTimer t;
        t.start();
        const double c0 = cpuSeconds();
        const auto rows = queryObservations(reader.database(), end.addSecs(-86400), end);
        const qint64 ms = t.elapsed();
        const double cpuMs = (cpuSeconds() - c0) * 1000;
        t.restart();
        const auto day = querySummaries(reader.database(), end.addSecs(-86400), end, 300);
        const qint64 dayMs = t.elapsed();
        t.restart();
        const auto hour = querySummaries(reader.database(), end.addSecs(-3600), end, 10);
        const qint64 hourMs = t.elapsed();
        std::printf("  %s: 24 h of observation rows (%zu): %lld ms, %.0f ms of processor (goal <= 200 ms); "
                    "web 24 h at 300 s (%zu): %lld ms; web 1 h at 10 s (%zu): %lld ms\n",
                    round ? "warm" : "cold", rows.size(), ms, cpuMs, day.size(), dayMs, hour.size(), hourMs);
    }
    return 0;
}
