// The web page's routes on a real HTTP endpoint: the page and its files, the
// live status, the archive as columns or CSV, and refusals of bad questions.
#include "archive/archive.h"
#include "archive/history_text.h"
#include "core/settings.h"
#include "watch/watch_status.h"
#include "alpaca/alpaca_server.h"
#include "http_client.h"
#include "web/web_routes.h"
#include "served_routes.h"
#include "../archive/archive_fixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSemaphore>
#include <QTest>
#include <QThread>
#include <atomic>
#include <ctime>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class WebRoutes : public ::testing::Test, protected ServedRoutes {
protected:
    WebRoutes() : ServedRoutes(true) {}
};

TEST_F(WebRoutes, ThePageAndItsFilesComeFromTheProgram)
{
    const HttpAnswer page = get("/");
    ASSERT_EQ(page.status, 200);
    EXPECT_TRUE(page.headers.contains("text/html"));
    EXPECT_TRUE(page.body.contains("<script src=\"/vendor/uplot/uPlot.iife.min.js\"></script>"));
    EXPECT_TRUE(get("/vendor/uplot/uPlot.iife.min.js").body.contains("uPlot"));
    EXPECT_TRUE(get("/vendor/uplot/LICENSE").body.contains("MIT License"));
    EXPECT_EQ(get("/app.js").status, 200);
    EXPECT_TRUE(get("/favicon.svg").headers.contains("image/svg+xml"));
    const HttpAnswer missing = get("/../etc/passwd");
    EXPECT_EQ(missing.status, 404);
    EXPECT_TRUE(missing.json().contains("error"));
    // Read-only: nothing is accepted that would change something.
    const HttpAnswer put = httpPut(server.port(), "/tarnwick/v1/live", "x=1");
    EXPECT_EQ(put.status, 405);
    EXPECT_TRUE(put.json().contains("error"));
}

TEST_F(WebRoutes, LiveShowsOnlyRealReadingsWithTheBoardAndTheVerdict)
{
    QJsonObject live = get("/tarnwick/v1/live").json();
    EXPECT_EQ(live["board"].toObject()["state"], "searching");
    EXPECT_TRUE(live["observation"].isNull());
    EXPECT_EQ(live["safety"].toObject()["known"], false);
    EXPECT_TRUE(live["safety"].toObject()["safe"].isNull());

    watch.publish(observationAt(QDateTime::currentDateTimeUtc(), 99)); // not from a board that delivers readings
    EXPECT_TRUE(get("/tarnwick/v1/live").json()["observation"].isNull());

    watch.setBoard(simulatedBoard());
    Observation o = observationAt(QDateTime::currentDateTimeUtc().addSecs(-3), 12.345);
    clearHumidityReadings(o);
    watch.publish(o);
    const QDateTime since = utcAt("2026-12-07T20:00:00Z");
    watch.setSafety(SafetyVerdict{true, false, {{"rain", "Rain \"<b>\" on the sensor", since}}, since});
    live = get("/tarnwick/v1/live").json();
    const QJsonObject obs = live["observation"].toObject();
    EXPECT_EQ(obs["ambient_c"].toDouble(), 12.35);
    EXPECT_TRUE(obs["humidity_pct"].isNull());
    EXPECT_EQ(obs["sky"], "partly cloudy");
    EXPECT_NEAR(obs["age_s"].toDouble(), 3, 1);
    EXPECT_EQ(live["units"].toObject()["ambient_c"], "°C");
    const QJsonObject safety = live["safety"].toObject();
    EXPECT_EQ(safety["safe"], false);
    EXPECT_EQ(safety["unsafe"].toArray()[0].toObject()["text"], "Rain \"<b>\" on the sensor");
    EXPECT_EQ(get("/tarnwick/v1/live?x=1").status, 400);
}

TEST_F(WebRoutes, HistoryGivesColumnsOrCsvAndRefusesBadParameters)
{
    const QDateTime t0 = utcAt("2026-12-07T20:00:00Z");
    for (int s = 0; s < 120; ++s) {
        Observation o = observationAt(t0.addSecs(s), s < 60 ? 10 : 20);
        o.raining = s >= 60;
        archive.add(o, simulatedBoard(), {});
    }
    HttpAnswer a = get("/tarnwick/v1/history?from=2026-12-07T20:00:00Z&to=2026-12-07T20:01:59Z&step=30");
    ASSERT_EQ(a.status, 200) << a.body.constData();
    QJsonObject h = a.json();
    EXPECT_EQ(h["step"], 30);
    const QJsonArray times = h["time"].toArray();
    ASSERT_EQ(times.size(), 4);
    EXPECT_EQ(times[0].toInteger(), t0.toSecsSinceEpoch());
    EXPECT_EQ(h["ambient_c"].toArray(), QJsonArray({10.0, 10.0, 20.0, 20.0}));
    EXPECT_EQ(h["raining"].toArray(), QJsonArray({0.0, 0.0, 1.0, 1.0}));
    EXPECT_EQ(h["gust_max"].toArray().size(), 4);

    a = get("/tarnwick/v1/history?from=2026-12-07T20:00Z&to=2026-12-07T20:02Z&step=60&format=csv");
    ASSERT_EQ(a.status, 200);
    EXPECT_TRUE(a.headers.contains("text/csv"));
    EXPECT_TRUE(a.body.startsWith("time (UTC),seconds,count,ambient mean (°C)"));
    EXPECT_EQ(a.body.count('\n'), 2); // 20:00; 20:01 is summarized when 20:02 begins

    for (const QByteArray &bad :
         {QByteArray("from=yesterday"), QByteArray("to=2026-13-01T00:00"), QByteArray("step=0"), QByteArray("step=1.5"),
          QByteArray("from=2026-12-07T21:00Z&to=2026-12-07T20:00Z"), QByteArray("from=300d&step=60"), QByteArray("from=7h&step=59"),
          QByteArray("format=xml"), QByteArray("drop=table"), QByteArray("from=%3Cscript%3E")}) {
        a = get("/tarnwick/v1/history?" + bad);
        EXPECT_EQ(a.status, 400) << bad.constData();
        EXPECT_FALSE(a.json()["error"].toString().isEmpty()) << bad.constData();
    }
}

TEST_F(WebRoutes, LiveTellsStaleValuesTodayTrendsAndCountsInWords)
{
    // Twenty minutes of rows, ambient rising 0.1 °C a minute (6 °C an hour).
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDateTime midnight = QDateTime(now.toLocalTime().date(), QTime(0, 0)).toUTC();
    const QDateTime first = QDateTime::fromSecsSinceEpoch(now.toSecsSinceEpoch() / 60 * 60 - 20 * 60, Qt::UTC);
    double high = NAN, low = NAN;
    for (int minute = 0; minute <= 20; ++minute) {
        const double ambient = 10 + 0.1 * minute;
        for (int s = 0; s < 60; s += 10)
            archive.add(observationAt(first.addSecs(minute * 60 + s), ambient), simulatedBoard(), {});
        if (minute < 20 && first.addSecs(minute * 60) >= midnight) {
            high = std::isnan(high) ? ambient : std::max(high, ambient);
            low = std::isnan(low) ? ambient : std::min(low, ambient);
        }
    }
    archive.flush();
    watch.setBoard(simulatedBoard());
    Observation o = observationAt(now.addSecs(-1), 12);
    o.readings.set(Quantity::Rain, 401);
    o.readings.set(Quantity::CloudCover, 66.67);
    watch.publish(o);
    QJsonObject live = get("/tarnwick/v1/live").json();
    EXPECT_EQ(live["freshness"].toObject()["fresh"], true);
    const QJsonObject obs = live["observation"].toObject();
    EXPECT_EQ(obs["rain_words"], "Raining");
    EXPECT_EQ(obs["brightness_words"], "Daylight");
    EXPECT_NEAR(obs["cloud_cover_pct"].toDouble(), 66.67, 0.01); // 20 °C: a third of the way from 19 to 22
    const QJsonObject ambient = live["today"].toObject()["ambient_c"].toObject();
    EXPECT_NEAR(ambient["high"].toDouble(NAN), high, 1e-9);
    EXPECT_NEAR(ambient["low"].toDouble(NAN), low, 1e-9);
    EXPECT_EQ(ambient["high_at"], isoUtc(first.addSecs(19 * 60)));
    const QJsonObject trends = live["trends"].toObject();
    EXPECT_NEAR(trends["ambient_c"].toDouble(), 6.0, 0.01);
    EXPECT_NEAR(trends["dew_margin_c"].toDouble(), 0.0, 0.01);
    EXPECT_TRUE(live["night"].isNull()); // no site told

    // The board goes: the reading stays, marked as of its time, and why.
    BoardStatus lost = boardIn(BoardState::Lost);
    lost.lastRecord = o.utc;
    watch.setBoard(lost);
    const QJsonObject stale = get("/tarnwick/v1/live").json()["freshness"].toObject();
    EXPECT_EQ(stale["fresh"], false);
    EXPECT_EQ(stale["values_from"], isoUtc(o.utc));
    EXPECT_EQ(stale["why"], "board lost");

    EXPECT_EQ(rainWords(370, 300, 400), "Wet");
    EXPECT_EQ(rainWords(300, 420, 400), "Wet");
    EXPECT_EQ(rainWords(300, 300, 400), "Dry");
    EXPECT_EQ(brightnessWords(960, 950), "Twilight");
    EXPECT_EQ(brightnessWords(1005, 950), "Dark");
}

// Ten hours east of UTC, at 13:00 local time: today began at 14:00 UTC
// yesterday, and the day's low is the lowest reading, not a minute's mean.
TEST_F(WebRoutes, TodaysHighAndLowFromLocalMidnightAndFromEveryReading)
{
    const bool hadTz = qEnvironmentVariableIsSet("TZ");
    const QByteArray savedTz = qgetenv("TZ");
    qputenv("TZ", "XST-10");
    tzset();
    const struct {
        const char *utc;
        std::vector<double> readings;
    } rows[] = {
        {"2026-12-06T13:59:00Z", {-5, 40}}, // 23:59 local, yesterday
        {"2026-12-06T20:00:00Z", {2, 8}},   // 06:00 local: a low of 2, mean 5
        {"2026-12-06T21:00:00Z", {30}},
        {"2026-12-07T01:00:00Z", {10, 12}},
    };
    for (const auto &row : rows)
        for (size_t i = 0; i < row.readings.size(); ++i)
            archive.add(observationAt(utcAt(row.utc).addSecs(qint64(i) * 10), row.readings[i]), simulatedBoard(), {});
    archive.flush();
    const HttpRouteReply reply = answerLive({"GET", "/tarnwick/v1/live", {}, {}}, watch.status(), utcAt("2026-12-07T03:00:00Z"), &archive);
    const QJsonObject today = QJsonDocument::fromJson(reply.body).object()["today"].toObject();
    hadTz ? qputenv("TZ", savedTz) : qunsetenv("TZ");
    tzset();
    const QJsonObject ambient = today["ambient_c"].toObject();
    EXPECT_EQ(today["from"], "2026-12-06T14:00:00Z");
    EXPECT_EQ(ambient["high"].toDouble(NAN), 30);
    EXPECT_EQ(ambient["high_at"], "2026-12-06T21:00:00Z");
    EXPECT_EQ(ambient["low"].toDouble(NAN), 2);
    EXPECT_EQ(ambient["low_at"], "2026-12-06T20:00:00Z");
}

TEST_F(WebRoutes, TheNightAtTheSiteAndItsDarknessOnTheCharts)
{
    settings.Latitude = "52,2"; // a decimal comma is read too
    settings.Longitude = "0.1";
    const QJsonObject night = get("/tarnwick/v1/live").json()["night"].toObject();
    EXPECT_FALSE(night["sunset"].toString().isEmpty());
    EXPECT_FALSE(night["dark_from"].toString().isEmpty());
    const QDateTime t0 = utcAt("2026-12-07T12:00:00Z");
    for (int h = 0; h <= 12; ++h) // the last one closes the minute before it
        archive.add(observationAt(t0.addSecs(h * 3600), 5), simulatedBoard(), {});
    const QJsonObject h = get("/tarnwick/v1/history?from=2026-12-07T12:00Z&to=2026-12-08T00:00Z&step=3600").json();
    EXPECT_EQ(h["dark"].toArray(), QJsonArray({0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0}));

    // Last night's clear dark minutes: dark, archived, safe and clear.
    std::vector<ArchiveSummary> minutes;
    for (int m = 0; m < 10; ++m) {
        ArchiveSummary s;
        s.utc = utcAt("2026-12-07T23:00:00Z").addSecs(m * 60);
        s.count = 60;
        s.safe = m == 0 ? 0.0 : 1.0;
        s.cloudy = m == 1 ? 1.0 : 0.0;
        minutes.push_back(s);
    }
    minutes.push_back(minutes.back());
    minutes.back().utc = t0; // safe and clear, but daylight
    const NightSummary n = summarizeNight(minutes, t0, t0.addDays(1), siteLocation(settings));
    EXPECT_EQ(n.clearDarkMinutes, 8);
    EXPECT_GT(n.darkMinutes, 11 * 60);
    EXPECT_LT(n.darkMinutes, 14 * 60);

    settings.Latitude = "north";
    EXPECT_TRUE(get("/tarnwick/v1/live").json()["night"].toObject()["problem"].toString().startsWith("Latitude"));
}

// A slow answer (an archive read) is computed beside the server: the live
// status is answered meanwhile, the slow one follows, and a client that left
// before its answer was ready costs nothing.
TEST_F(WebRoutes, ASlowAnswerDoesNotHoldTheServer)
{
    QSemaphore release;
    std::atomic<bool> servingThread{true};
    server.addRoute(QStringLiteral("/slow"), [&](const HttpRouteRequest &) {
        HttpRouteReply r;
        r.later = [&] {
            servingThread = QThread::currentThread() == server.thread();
            release.tryAcquire(1, 5000); // answered inline, the server would stop here
            return HttpRouteReply{200, "text/plain", "slow"};
        };
        return r;
    });
    auto ask = [&](QTcpSocket &s) {
        s.connectToHost(QHostAddress::LocalHost, server.port());
        ASSERT_TRUE(s.waitForConnected(3000));
        s.write("GET /slow HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        s.flush();
    };
    QTcpSocket gone;
    ask(gone);
    QTest::qWait(100);
    gone.abort();
    release.release();

    QTcpSocket slow;
    ask(slow);
    EXPECT_EQ(get("/tarnwick/v1/live").status, 200);
    EXPECT_FALSE(servingThread);
    release.release();
    QByteArray data;
    HttpAnswer answer;
    QElapsedTimer t;
    t.start();
    while (!answerComplete(data, answer) && t.elapsed() < 3000) {
        QTest::qWait(10);
        data += slow.readAll();
    }
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, "slow");
}
