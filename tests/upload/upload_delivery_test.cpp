// How the main service's replies are judged and what follows, against a local
// service: the requests are counted, and the clock is the test's, so the
// pauses between tries pass at once.
#include "capture_server.h"
#include "observation_for.h"
#include "temp_profile.h"

#include "station/conversions.h"

#include <gtest/gtest.h>

namespace {

class UploadDelivery : public ::testing::Test {
protected:
    TempProfile profile;
    CaptureServer server;
    QDateTime now = QDateTime(QDate(2026, 12, 6), QTime(22, 0, 0), Qt::UTC);
    std::unique_ptr<UploadForm> form;
    QStringList outcomes; // what the form told of each exchange: "ok" or the failure

    void SetUp() override
    {
        resetProgram();
        prog().profile = profile.store.get();
        prog().settings.g_bAllow_PWS = 1;
        prog().settings.g_sPWS_site = server.url(QStringLiteral("/update.php"));
        form = std::make_unique<UploadForm>(prog().settings, profileSaver());
        form->setUtcClock([this] { return now; });
        form->setObservation(observationFor(12, 2, 4, 80, -10));
        QObject::connect(form.get(), &UploadForm::delivered, [this](bool ok, const QString &why) {
            outcomes << (ok ? QStringLiteral("ok") : why);
        });
    }
    void TearDown() override
    {
        form.reset();
        resetProgram();
    }
    void answer(const QByteArray &statusAndBody) { server.reply = "HTTP/1.0 " + statusAndBody; }
    // One report, waited for to its judged end.
    void report()
    {
        form->cmdSend_Click();
        (void)QTest::qWaitFor([&] { return !form->Connected(); }, 5000);
    }
    void passSeconds(int s)
    {
        now = now.addSecs(s);
        form->retryDue();
        (void)QTest::qWaitFor([&] { return !form->Connected() && !form->exchange().waitingForConnection(); }, 5000);
    }
};

} // namespace

TEST_F(UploadDelivery, SuccessIsSentAndTheStateSaysWhen)
{
    report();
    EXPECT_EQ(server.connections(), 1);
    EXPECT_EQ(form->stateText(), QStringLiteral("sent ") + now.toLocalTime().toString(QStringLiteral("HH:mm:ss")));
    EXPECT_EQ(form->pendingRecords(), 0);
    EXPECT_EQ(outcomes, QStringList{"ok"});
}

TEST_F(UploadDelivery, RefusedCredentialsAreTriedHourlyOrWhenChanged)
{
    for (const QByteArray reply : {QByteArray("200 OK\r\n\r\nINVALIDPASSWORDID|Password or key and/or id are incorrect\r\n"),
                                   QByteArray("401 Unauthorized\r\n\r\nunauthorized\r\n")}) {
        answer(reply);
        form->setVariableValue(0, QStringLiteral("key") + QString::number(server.connections()));
        const int start = server.connections();
        report();
        EXPECT_EQ(form->stateText(), QStringLiteral("credentials refused"));
        EXPECT_TRUE(form->errorsText().contains(QStringLiteral("credentials refused"))) << qPrintable(form->errorsText());
        // An hour of report periods: nothing goes out, nothing piles up.
        for (int i = 0; i < 70; ++i) {
            passSeconds(50);
            report();
        }
        EXPECT_EQ(server.connections(), start + 1);
        EXPECT_EQ(form->pendingRecords(), 0);
        passSeconds(3600);
        report();
        EXPECT_EQ(server.connections(), start + 2);
    }
    // New credentials are tried at once.
    answer("200 OK\r\n\r\nsuccess\r\n");
    form->setVariableValue(0, QStringLiteral("right"));
    report();
    EXPECT_TRUE(form->stateText().startsWith(QStringLiteral("sent ")));
}

TEST_F(UploadDelivery, TheFormsOwnTickSendsAWaitingRecordOnceItsPauseIsOver)
{
    answer("500 Internal Server Error\r\n\r\n");
    report();
    ASSERT_EQ(form->pendingRecords(), 1);
    answer("200 OK\r\n\r\nsuccess\r\n");
    now = now.addSecs(5); // the pause is over; nobody calls retryDue
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.connections() == 2 && form->pendingRecords() == 0; }, 5000));
}

TEST_F(UploadDelivery, TooManyRequestsDropsTheRecord)
{
    answer("429 Too Many Requests\r\n\r\n");
    report();
    EXPECT_EQ(form->pendingRecords(), 0);
    EXPECT_EQ(form->stateText(), QStringLiteral("too many requests: record dropped"));
    passSeconds(600);
    EXPECT_EQ(server.connections(), 1);
    EXPECT_TRUE(outcomes.isEmpty()) << "a dropped record is neither a failure nor a success";
}

TEST_F(UploadDelivery, ServerFaultsAreRetriedWithGrowingPausesWithoutTheRealTimeFields)
{
    answer("500 Internal Server Error\r\n\r\n");
    report();
    ASSERT_EQ(form->pendingRecords(), 1);
    EXPECT_EQ(form->stateText(), QStringLiteral("retrying in 5 s"));
    ASSERT_EQ(outcomes.size(), 1);
    EXPECT_TRUE(outcomes[0].contains("500")) << outcomes[0].toStdString();
    const QByteArray first = server.requests[0];
    EXPECT_TRUE(first.contains("&realtime=1&rtfreq=5.0"));

    // Each pause is waited out before the next try: 5, 10, 20 ... up to 300 s.
    const int pauses[] = {5, 10, 20, 40, 80, 160, 300, 300};
    for (int pause : pauses) {
        EXPECT_EQ(form->delivery().pauseSeconds(), pause);
        const int before = server.connections();
        passSeconds(pause - 1);
        EXPECT_EQ(server.connections(), before) << "tried before its pause of " << pause << " s ended";
        passSeconds(1);
        EXPECT_EQ(server.connections(), before + 1);
    }
    // The retry is the same record: its own time, no real-time request replayed.
    const QByteArray retry = server.requests.last();
    const auto dateOf = [](const QByteArray &r) { return r.mid(r.indexOf("dateutc="), 40); };
    EXPECT_EQ(dateOf(retry), dateOf(first));
    EXPECT_FALSE(retry.contains("realtime")) << retry.constData();
    EXPECT_TRUE(retry.contains("&action=updateraw HTTP/1.0"));

    answer("200 OK\r\n\r\nsuccess\r\n");
    const int before = server.connections();
    passSeconds(300);
    EXPECT_EQ(server.connections(), before + 1);
    EXPECT_EQ(form->pendingRecords(), 0);
    passSeconds(600);
    EXPECT_EQ(server.connections(), before + 1); // sent once, never again
}

TEST_F(UploadDelivery, NoAnswerAndResetAreRetriedAndTheBacklogIsSentOldestFirst)
{
    server.mode = CaptureServer::Mode::Silent;
    form->exchange().setReplyTimeoutMs(200);
    report();
    EXPECT_TRUE(form->stateText().startsWith(QStringLiteral("retrying in")));
    server.mode = CaptureServer::Mode::Reset;
    now = now.addSecs(50);
    report();
    ASSERT_EQ(form->pendingRecords(), 2);

    server.mode = CaptureServer::Mode::ReplyAndClose;
    now = now.addSecs(50);
    report(); // the live report goes; the two late ones follow, 2 s apart
    EXPECT_EQ(form->stateText(), QStringLiteral("catching up 2 rows"));
    passSeconds(2);
    passSeconds(1);
    EXPECT_EQ(form->pendingRecords(), 1);
    passSeconds(2);
    EXPECT_EQ(form->pendingRecords(), 0);
    ASSERT_EQ(server.connections(), 5);
    EXPECT_LT(server.requests[3].mid(server.requests[3].indexOf("dateutc=")),
              server.requests[4].mid(server.requests[4].indexOf("dateutc=")));
}

TEST_F(UploadDelivery, ExpiredRecordsAreNotSentLate)
{
    form->setBacklogHours(1);
    answer("503 Service Unavailable\r\n\r\n");
    report();
    ASSERT_EQ(form->pendingRecords(), 1);
    answer("200 OK\r\n\r\nsuccess\r\n");
    passSeconds(3601);
    EXPECT_EQ(form->pendingRecords(), 0);
    EXPECT_EQ(server.connections(), 1);
}

TEST(PwsValues, HumidityIsHeldToItsRangeAndPlaceholdersStayOut)
{
    Observation o = observationFor(26, 1, 2, 100, -12);
    EXPECT_TRUE(UploadQuery(readingFrom(o)).contains(QStringLiteral("&humidity=100%2E0&")));

    clearHumidityReadings(o); // the board's no-humidity marker
    EXPECT_FALSE(UploadQuery(readingFrom(o)).contains(QStringLiteral("humidity=")));

    clearTemperatureReadings(o); // the window not filled yet
    o.readings.set(Quantity::Gust, std::nullopt); // no gust sample yet
    const QString query = UploadQuery(readingFrom(o));
    for (const char *field : {"tempf=", "humidity=", "clouds=", "windgustmph="})
        EXPECT_FALSE(query.contains(QLatin1String(field))) << field;
    EXPECT_TRUE(query.contains(QStringLiteral("windspeedmph=")));
}
