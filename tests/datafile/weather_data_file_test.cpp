// The one-line weather data file read back by a parser of its own, written
// from the published field list: the values, the flags against the verdict,
// a board pulled, and readers racing the rewrite.
#include "observation_fixture.h"
#include "core/settings.h"
#include "datafile/weather_data_file.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {
const QDateTime kNow = QDateTime(QDate(2026, 12, 7), QTime(22, 0, 5, 250), Qt::UTC);

struct DataLine {
    QString date, time, tempUnit, windUnit;
    double skyMinusAmbient, ambient, sensor, wind, humidity, dewPoint;
    int heater, rainFlag, wetFlag, secondsSince;
    double days;
    int cloud, windCondition, rain, daylight, close, alert;
};

// Space-separated, 21 fields, in the documented order; false on anything else.
bool parse(const QByteArray &text, DataLine &d)
{
    if (!text.endsWith('\n') || text.count('\n') != 1)
        return false;
    const QList<QByteArray> f = text.trimmed().split(' ');
    if (f.size() != 21 || f[13].size() != 5)
        return false;
    bool ok = true;
    auto real = [&](int i) { bool good; const double v = f[i].toDouble(&good); ok &= good; return v; };
    auto whole = [&](int i) { bool good; const int v = f[i].toInt(&good); ok &= good; return v; };
    d = DataLine{QString(f[0]), QString(f[1]), QString(f[2]), QString(f[3]), real(4), real(5), real(6), real(7),
                 real(8), real(9), whole(10), whole(11), whole(12), whole(13), real(14), whole(15), whole(16),
                 whole(17), whole(18), whole(19), whole(20)};
    return ok;
}

DataLine lineFor(const WatchStatus &s, const QDateTime &now, const QDateTime &lastRain = {})
{
    DataLine d{};
    const QString text = weatherDataLine(s, now, lastRain, DataLineSettings{30, 17});
    EXPECT_TRUE(parse(text.toUtf8() + '\n', d)) << qPrintable(text);
    return d;
}

WatchStatus liveNight(bool safe)
{
    Observation o;
    o.utc = kNow.addSecs(-3);
    o.ambientC = 4.26;
    o.thermopileC = 5.04;
    o.ambientMinusSkyC = 23.5;
    o.humidityPercent = 81.4;
    o.dewPointC = 1.06;
    o.windCurrent = 6.3;
    o.windAverage = 5;
    o.sky = SkyClass::PartlyCloudy;
    o.heater = 1;
    o = withReadings(o);
    WatchStatus s;
    s.board.state = BoardState::Live;
    s.board.lastRecord = o.utc;
    s.latest = s.lastLive = o;
    s.safety.known = true;
    s.safety.safe = safe;
    return s;
}
} // namespace

TEST(WeatherDataLine, CarriesTheObservationAndTheClock)
{
    const WatchStatus s = liveNight(true);
    const DataLine d = lineFor(s, kNow);
    const QDateTime local = kNow.toLocalTime();
    EXPECT_EQ(d.date, local.toString("yyyy-MM-dd"));
    EXPECT_EQ(d.time, local.toString("HH:mm:ss") + ".25");
    EXPECT_EQ(d.tempUnit, "C");
    EXPECT_EQ(d.windUnit, "M");
    EXPECT_DOUBLE_EQ(d.skyMinusAmbient, -23.5);
    EXPECT_DOUBLE_EQ(d.ambient, 4.3);
    EXPECT_DOUBLE_EQ(d.sensor, 5.0);
    EXPECT_DOUBLE_EQ(d.wind, 6.3);
    EXPECT_DOUBLE_EQ(d.humidity, 81);
    EXPECT_DOUBLE_EQ(d.dewPoint, 1.1);
    EXPECT_EQ(d.heater, 100);
    EXPECT_EQ(d.secondsSince, 3);
    EXPECT_EQ(d.cloud, 2);
    EXPECT_EQ(d.windCondition, 1);
    EXPECT_EQ(d.rain, 1);
    EXPECT_EQ(d.daylight, 1);
    EXPECT_NEAR(d.days, daysSince1899(local), 0.00001);
    // The published example: 2010-10-20 12:08:09 is 40471.50566.
    EXPECT_NEAR(daysSince1899(QDateTime(QDate(2010, 10, 20), QTime(12, 8, 9))), 40471.50566, 0.000005);
}

TEST(WeatherDataLine, FlagsFollowTheVerdictAndRainIsRemembered)
{
    DataLine safe = lineFor(liveNight(true), kNow);
    EXPECT_EQ(safe.close, 0);
    EXPECT_EQ(safe.alert, 0);
    WatchStatus unsafe = liveNight(false);
    unsafe.safety.unsafe = {{"rain", "Rain", kNow}};
    unsafe.lastLive->raining = true;
    unsafe.lastLive->windy = true;
    unsafe.lastLive->readings.set(Quantity::WindAverage, 20);
    DataLine d = lineFor(unsafe, kNow, kNow.addSecs(-3));
    EXPECT_EQ(d.close, 1);
    EXPECT_EQ(d.alert, 1);
    EXPECT_EQ(d.rainFlag, 2);
    EXPECT_EQ(d.wetFlag, 2);
    EXPECT_EQ(d.rain, 3);
    EXPECT_EQ(d.windCondition, 3);
    WatchStatus unknown = liveNight(true);
    unknown.safety.known = false;
    EXPECT_EQ(lineFor(unknown, kNow).alert, 1);
    // Dry again 30 s after the last rain: wet within the minute, then dry.
    d = lineFor(liveNight(true), kNow, kNow.addSecs(-30));
    EXPECT_EQ(d.rainFlag, 1);
    EXPECT_EQ(d.rain, 2);
    EXPECT_EQ(lineFor(liveNight(true), kNow, kNow.addSecs(-61)).rainFlag, 0);
}

TEST(WeatherDataLine, PulledBoardShowsItsAgeAndAlerts)
{
    WatchStatus s = liveNight(true); // the verdict has not caught up yet
    s.board.state = BoardState::Lost;
    int last = -1;
    for (int later : {0, 40, 500, 200000}) {
        const DataLine d = lineFor(s, kNow.addSecs(later));
        EXPECT_GT(d.secondsSince, last);
        last = d.secondsSince;
        EXPECT_EQ(d.close, 1);
        EXPECT_EQ(d.alert, 1);
        EXPECT_EQ(d.cloud + d.windCondition + d.rain + d.daylight, 0);
    }
    EXPECT_EQ(last, 99999);
    // Live but older than the stale limit counts as not live too.
    s.board.state = BoardState::Live;
    EXPECT_EQ(lineFor(s, kNow.addSecs(40)).alert, 1);
    // Found again: the board's record is fresh, the values written are as old as before.
    s.board.lastRecord = kNow.addSecs(40);
    EXPECT_EQ(lineFor(s, kNow.addSecs(40)).secondsSince, 43);
}

TEST(WeatherDataFile, ReadersNeverSeeAPartialLine)
{
    QTemporaryDir dir;
    Settings settings;
    const QString path = dir.filePath("weather.txt");
    WeatherDataFile file(path, settings, {}, [] { return kNow; });
    // Two lines of different lengths, so a torn read would show.
    WatchStatus a = liveNight(true);
    WatchStatus b = liveNight(false);
    b.lastLive->ambientC = -12.75;
    b.lastLive->humidityPercent = 100;
    ASSERT_TRUE(file.write(a));
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; !stop; ++i)
            file.write(i % 2 ? a : b);
    });
    int bad = 0;
    for (int i = 0; i < 10000; ++i) {
        QFile f(path);
        DataLine d;
        if (!f.open(QIODevice::ReadOnly) || !parse(f.readAll(), d))
            ++bad;
    }
    stop = true;
    writer.join();
    EXPECT_EQ(bad, 0);
}

TEST(WeatherDataFile, FailedWriteIsReportedOnceAndRetried)
{
    QTemporaryDir dir;
    Settings settings;
    QStringList reports;
    WeatherDataFile file(dir.filePath("missing/weather.txt"), settings, [&](const QString &t) { reports << t; },
                         [] { return kNow; });
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(file.write(liveNight(true)));
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains("cannot be written")) << qPrintable(reports[0]);
    ASSERT_TRUE(QDir(dir.path()).mkdir("missing"));
    EXPECT_TRUE(file.write(liveNight(true)));
    ASSERT_EQ(reports.size(), 2);
    EXPECT_TRUE(reports[1].contains("written again"));
    EXPECT_EQ(QDir(dir.filePath("missing")).entryList(QDir::Files).size(), 1) << "no temporary file is left behind";
}

namespace {
DataLine readLine(const QString &path)
{
    QFile f(path);
    DataLine d{};
    EXPECT_TRUE(f.open(QIODevice::ReadOnly) && parse(f.readAll(), d)) << qPrintable(path);
    return d;
}
} // namespace

// "Very windy" is the close speed's word: the warning speed is only "windy".
TEST(WeatherDataFile, VeryWindyOnlyAtTheCloseSpeed)
{
    QTemporaryDir dir;
    Settings settings;
    settings.WindSpeedWarn = 12;
    settings.WindSpeedCloseD = 25;
    const QString path = dir.filePath("weather.txt");
    WeatherDataFile file(path, settings, {}, [] { return kNow; });
    const struct { double average; bool windy; int condition; } cases[] = {
        {5, false, 1}, {12, true, 2}, {24.9, true, 2}, {25, true, 3}, {40, true, 3}};
    for (const auto &c : cases) {
        WatchStatus s = liveNight(true);
        s.lastLive->windy = c.windy;
        s.lastLive->readings.set(Quantity::WindAverage, c.average);
        file.onWatch(s, WatchFeed::Change::Observation);
        EXPECT_EQ(readLine(path).windCondition, c.condition) << "average " << c.average;
    }
}

// A quiet watch still moves the line's time on every second; a file let go
// says nothing is known, so a reader of the flags alone closes.
TEST(WeatherDataFile, RewrittenEverySecondAndClosedWhenLetGo)
{
    QTemporaryDir dir;
    Settings settings;
    const QString path = dir.filePath("weather.txt");
    auto file = std::make_unique<WeatherDataFile>(path, settings, WeatherDataFile::Report{});
    WatchStatus s = liveNight(true);
    s.lastLive->utc = s.board.lastRecord = QDateTime::currentDateTimeUtc();
    file->onWatch(s, WatchFeed::Change::Observation);
    QStringList times{readLine(path).time};
    for (int i = 0; i < 3; ++i) {
        (void)QTest::qWaitFor([&] { return readLine(path).time != times.last(); }, 1500);
        times << readLine(path).time;
    }
    EXPECT_EQ(times.removeDuplicates(), 0) << qPrintable(times.join(' '));
    EXPECT_EQ(readLine(path).close, 0);

    file.reset();
    const DataLine last = readLine(path);
    EXPECT_EQ(last.close, 1);
    EXPECT_EQ(last.alert, 1);
    EXPECT_EQ(last.secondsSince, 99999);
}
