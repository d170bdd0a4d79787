// Services beyond the main one: the list in the profile, each service's request,
// and three at once with one of them down: the others and the station's own
// period go on as before.
#include "capture_server.h"
#include "observation_for.h"
#include "temp_profile.h"

#include "watch/watch_status.h"
#include "upload/uploads.h"
#include "web/web_routes.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <QTcpServer>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

quint16 deadPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

TEST(UploadServices, ListLinesAndTheirRequests)
{
    QStringList problems;
    const auto configs = parseServices(QStringLiteral("pws|Second|http://h/p.php|ID2|K2|60\n"
                                                    "windmap|Wind|https://w.example|ST1|secret|60\n"
                                                    "# a note\n"
                                                    "post|Mine|http://m/in|t={tempc}&w={windspeedms}|30\n"
                                                    "get|Broken|http://x|zero\n"
                                                    "pws|NoKey|http://h/p.php|ID9||60\n"
                                                    "windmap|NoId|https://w.example||s3cr3t|60\n"),
                                     problems);
    ASSERT_EQ(configs.size(), 3u);
    // Each refused line is named by its number and why, never quoted: it may hold a key.
    EXPECT_EQ(problems, QStringList({"cannot use service line 5: the interval is not a whole number of seconds of at least 1",
                                     "cannot use service line 6: the key is empty",
                                     "cannot use service line 7: the station ID is empty"}));
    EXPECT_EQ(configs[1].intervalSeconds, kWindMapShortestInterval); // at most one update per 5 minutes

    Observation o = observationFor(21.5, 10, 20, 130, -2.3);
    o.readings.set(Quantity::DewPoint, 12.25);
    const QDateTime t(QDate(2026, 12, 6), QTime(9, 57, 12), Qt::UTC);
    const QByteArray wind = buildServiceRequest(configs[1], o, t).text;
    EXPECT_EQ(wind, "GET /api/v2/observation/update?station_id=ST1&wind=4%2E5&gust=8%2E9&temperature=21%2E5&rh=100"
                    "&dewpoint=12%2E3 HTTP/1.0\r\nHost: w.example\r\nAuthorization: Bearer secret\r\n\r\n");
    const QByteArray post = buildServiceRequest(configs[2], o, t).text;
    EXPECT_TRUE(post.startsWith("POST /in HTTP/1.0\r\nHost: m\r\n")) << post.constData();
    EXPECT_TRUE(post.endsWith("Content-Length: 16\r\n\r\nt=21%2E5&w=4%2E5")) << post.constData();
    const QByteArray pws = buildServiceRequest(configs[0], o, t).text;
    EXPECT_TRUE(pws.startsWith("GET /p.php?ID=ID2&PASSWORD=K2&dateutc=2026%2D12%2D06%2B09%3A57%2E12%2E00&tempf="));

    clearHumidityReadings(o); // no field from a quantity that is no reading
    EXPECT_FALSE(buildServiceRequest(configs[1], o, t).text.contains("rh="));
}

TEST(UploadServices, ThreeAtOnceOneDownTheOthersUnaffected)
{
    TempProfile profile;
    resetProgram();
    prog().profile = profile.store.get();
    CaptureServer second;
    CaptureServer custom;
    custom.reply = "HTTP/1.0 204 No Content\r\n\r\n";
    Uploads upload(prog().settings, profileSaver());
    QStringList problems;
    upload.setServices(parseServices(QStringLiteral("pws|Second|%1|ID2|K2|1\n"
                                                    "pws|Down|http://127.0.0.1:%2/p|ID3|K3|1\n"
                                                    "get|Custom|%3|1\n")
                                         .arg(second.url(QStringLiteral("/u.php")))
                                         .arg(deadPort())
                                         .arg(custom.url(QStringLiteral("/c?t={tempc}&d={dateutc}"))),
                                     problems),
                       &QDateTime::currentDateTimeUtc, QString());
    ASSERT_TRUE(problems.isEmpty());
    upload.offerObservation(observationFor(12, 2, 4, 80, -10), true);

    int ticks = 0;
    QTimer cycle;
    QObject::connect(&cycle, &QTimer::timeout, [&] { ++ticks; });
    cycle.start(100);
    QTest::qWait(3500);
    cycle.stop();

    // About one request a second each; the one that is down is tried with pauses.
    EXPECT_GE(second.connections(), 3);
    EXPECT_GE(custom.connections(), 3);
    EXPECT_GE(ticks, 30);
    const QStringList states = upload.serviceStates();
    ASSERT_EQ(states.size(), 3);
    EXPECT_TRUE(states[0].startsWith(QStringLiteral("Second: sent "))) << qPrintable(states[0]);
    EXPECT_TRUE(states[1].startsWith(QStringLiteral("Down: retrying in "))) << qPrintable(states[1]);
    EXPECT_TRUE(states[2].startsWith(QStringLiteral("Custom: sent "))) << qPrintable(states[2]);
    EXPECT_TRUE(custom.requests[0].startsWith("GET /c?t=12%2E0&d=20")) << custom.requests[0].constData();

    // Readings that may not go out: nothing more is sent.
    upload.offerObservation(observationFor(12, 2, 4, 80, -10), false);
    const int before = second.connections();
    QTest::qWait(1500);
    EXPECT_EQ(second.connections(), before);
    resetProgram();
}

TEST(UploadServices, LiveAnswerCarriesEachServiceState)
{
    WatchFeed watch;
    HttpRouteHandler live;
    installWebRoutes(
        [&](const QString &path, HttpRouteHandler h) {
            if (path == QStringLiteral("/tarnwick/v1/live"))
                live = std::move(h);
        },
        watch, nullptr, nullptr,
        [] { return QJsonArray{QJsonObject{{"service", "Wind map"}, {"state", "retrying in 40 s"}}}; });
    ASSERT_TRUE(live);
    const HttpRouteReply reply = live(HttpRouteRequest{"GET", QStringLiteral("/tarnwick/v1/live"), {}, {}});
    ASSERT_EQ(reply.status, 200);
    const QJsonObject o = QJsonDocument::fromJson(reply.body).object();
    EXPECT_EQ(o.value("uploads").toArray().at(0).toObject().value("state").toString(), QStringLiteral("retrying in 40 s"));
    EXPECT_TRUE(o.contains("board")); // the rest of the answer as before
}
