// The web page's routes on a real HTTP endpoint: the page and its files, the
// live status, the archive as columns or CSV, and refusals of bad questions.
#include "archive/archive.h"
#include "core/watch_status.h"
#include "focuser/alpaca_server.h"
#include "http_client.h"
#include "station/weather_state.h"
#include "web/web_routes.h"
#include "../archive/archive_fixture.h"

#include <QJsonArray>
#include <QSemaphore>
#include <QTest>
#include <QThread>
#include <atomic>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class WebRoutes : public ::testing::Test {
protected:
    void SetUp() override
    {
        archive.setRetentionDays(100000);
        ASSERT_TRUE(archive.open(dir.path() + "/archive.sqlite"));
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        installWebRoutes([this](const QString &p, HttpRouteHandler h) { server.addRoute(p, std::move(h)); }, watch,
                         &archive);
    }
    HttpAnswer get(const QByteArray &target) { return httpGet(server.port(), target); }

    QTemporaryDir dir;
    Archive archive;
    WatchFeed watch;
    WeatherState weather;
    FocuserContext focuser{weather};
    AlpacaServer server{focuser};
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
    o.humidityMissing = true;
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
