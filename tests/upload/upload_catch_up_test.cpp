// After an outage the missed minutes reach the service from the archive's
// minute rows: each once, oldest first, with its own time, paced, none older
// than the backlog and no real-time request replayed. The clock is the test's.
#include "../archive/archive_fixture.h"
#include "archive/archive.h"
#include "capture_server.h"
#include "observation_for.h"
#include "temp_profile.h"
#include "upload/service_uploader.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QDateTime kStart = QDateTime(QDate(2026, 12, 6), QTime(22, 0, 0), Qt::UTC);

class UploadCatchUp : public ::testing::Test {
protected:
    TempProfile profile;
    QTemporaryDir dir;
    Archive archive;
    CaptureServer server;
    QDateTime now = kStart;
    std::unique_ptr<UploadForm> form;

    void SetUp() override
    {
        resetProgram();
        prog().profile = profile.store.get();
        prog().settings.g_bAllow_PWS = 1;
        prog().settings.g_sPWS_site = server.url(QStringLiteral("/update.php"));
        archive.setRetentionDays(100000);
        ASSERT_TRUE(archive.open(dir.filePath(QStringLiteral("a.sqlite"))));
        // Three hours of observations, one every 20 s.
        for (int s = -600; s < 3 * 3600; s += 20)
            archive.add(observationAt(kStart.addSecs(s), 10 + s / 3600.0), simulatedBoard(), {});
        form = std::make_unique<UploadForm>(prog().settings, profileSaver());
        form->setUtcClock([this] { return now; });
        form->setMinuteSource([this](const QDateTime &from, const QDateTime &to) { return archive.minutesBetween(from, to); });
    }
    void TearDown() override
    {
        form.reset();
        resetProgram();
    }
    void settle() { (void)QTest::qWaitFor([&] { return !form->Connected() && !form->exchange().waitingForConnection(); }, 5000); }
    void liveReport()
    {
        Observation o = observationFor(12, 2, 4, 80, -10);
        o.utc = now;
        form->setObservation(o);
        form->cmdSend_Click();
        settle();
    }
    // A live report a minute (at :05) while the service is down, then every
    // second with the live reports going on until the late ones are all in.
    void outage(int minutes)
    {
        now = kStart.addSecs(5);
        liveReport();
        server.reply = "HTTP/1.0 503 Service Unavailable\r\n\r\n";
        for (int m = 1; m <= minutes; ++m) {
            now = kStart.addSecs(m * 60 + 5);
            liveReport();
        }
        server.reply = "HTTP/1.0 200 OK\r\n\r\nsuccess\r\n";
        for (int s = 0; s < 400; ++s) {
            now = now.addSecs(1);
            if (now.time().second() == 5)
                liveReport();
            form->retryDue();
            settle();
        }
    }
    // The dateutc texts of the requests sent late, in order.
    QStringList lateDates() const
    {
        QStringList dates;
        for (const QByteArray &r : server.requests) {
            if (r.contains("realtime"))
                continue;
            const qsizetype at = r.indexOf("dateutc=") + 8;
            dates << QString::fromLatin1(r.mid(at, r.indexOf('&', at) - at));
        }
        return dates;
    }
    static QString dateAt(const QDateTime &t) { return PercentEncode(dateUtcText(t)); }
};

} // namespace

TEST_F(UploadCatchUp, TenMinutesDownArriveOnceEachInOrder)
{
    outage(10);
    QStringList expected;
    for (int m = 1; m <= 10; ++m)
        expected << dateAt(kStart.addSecs(m * 60));
    EXPECT_EQ(lateDates(), expected);
    EXPECT_EQ(form->stateText().left(5), QStringLiteral("sent "));
    // Paced: never two late requests within 2 s (one per settled second at most).
    EXPECT_GE(server.connections(), 1 + 10 + 10);
}

TEST_F(UploadCatchUp, NothingOlderThanTheBacklog)
{
    form->setBacklogHours(1);
    outage(70);
    QStringList dates = lateDates();
    ASSERT_FALSE(dates.isEmpty());
    // The last missed minute is 23:10; the first sent is within an hour of when it went.
    EXPECT_EQ(dates.last(), dateAt(kStart.addSecs(70 * 60)));
    EXPECT_GE(dates.first(), dateAt(kStart.addSecs(71 * 60 + 5 - 3600)));
    QStringList inOrder = dates;
    inOrder.sort();
    inOrder.removeDuplicates();
    EXPECT_EQ(inOrder, dates); // ascending, none twice
}

// The service comes back, but refuses the key at the first late row (until
// the key is put right an hour later) or not at all: no minute is lost either way.
TEST_F(UploadCatchUp, AFurtherStationServiceGetsTheOutageToo)
{
    for (const bool keyRefused : {false, true}) {
        SCOPED_TRACE(keyRefused ? "key refused at the first late row" : "accepted at once");
        server.requests.clear();
        ServiceConfig c;
        c.name = QStringLiteral("Second");
        c.address = server.url(QStringLiteral("/second.php"));
        c.stationId = QStringLiteral("ID2");
        c.intervalSeconds = 60;
        ServiceUploader service(c, [this] { return now; });
        service.setMinuteSource([this](const QDateTime &from, const QDateTime &to) { return archive.minutesBetween(from, to); }, 6);
        auto run = [&](int seconds, const std::function<bool()> &until = {}) {
            for (int i = 0; i < seconds && !(until && until()); ++i) {
                now = now.addSecs(1);
                Observation o = observationFor(12, 2, 4, 80, -10); // 53.6 F: live, the archive's rows are near 50 F
                o.utc = now;
                service.setObservation(o);
                service.tick();
                (void)QTest::qWaitFor([&] { return !service.exchange().Connected() && !service.exchange().waitingForConnection(); }, 5000);
            }
        };
        now = kStart.addSecs(4);
        run(1);
        server.reply = "HTTP/1.0 503 Service Unavailable\r\n\r\n";
        run(10 * 60);
        const qsizetype back = server.requests.size();
        server.reply = "HTTP/1.0 200 OK\r\n\r\nsuccess\r\n";
        qsizetype refused = -1; // the request the refusal answered
        if (keyRefused) {
            run(360, [&] { return server.requests.size() > back; }); // the live report, taken
            server.reply = "HTTP/1.0 200 OK\r\n\r\nINVALIDPASSWORDID|Password or key and/or id are incorrect\r\n";
            refused = server.requests.size();
            run(10, [&] { return server.requests.size() > refused; });
            ASSERT_EQ(service.delivery().stateText(), QStringLiteral("credentials refused"));
            server.reply = "HTTP/1.0 200 OK\r\n\r\nsuccess\r\n";
            now = now.addSecs(3600);
        }
        run(360); // the pause after ten minutes of faults is 5 minutes
        QStringList late;
        for (qsizetype i = back; i < server.requests.size(); ++i) {
            const QByteArray &r = server.requests[i];
            if (r.contains("53%2E6") || i == refused)
                continue;
            const qsizetype at = r.indexOf("dateutc=") + 8;
            late << QString::fromLatin1(r.mid(at, r.indexOf('&', at) - at));
        }
        // The minutes after the last one taken, up to the first taken again, once each and in order.
        ASSERT_GE(late.size(), 10) << qPrintable(late.join(' '));
        for (int m = 1; m <= 10; ++m)
            EXPECT_EQ(late[m - 1], dateAt(kStart.addSecs(m * 60)));
        QStringList unique = late;
        unique.removeDuplicates();
        EXPECT_EQ(unique, late);
        EXPECT_EQ(service.rowsDue(), 0);
        EXPECT_TRUE(service.delivery().stateText().startsWith(QStringLiteral("sent "))) << qPrintable(service.delivery().stateText());
    }
}
