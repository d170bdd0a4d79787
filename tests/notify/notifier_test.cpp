// Notifications to real peers on loopback: a webhook and a push topic on an
// HTTP receiver, mail through aiosmtpd. One message per turn, the rate limit
// under a flapping rain sensor, a receiver that is down or hangs.
#include "core/settings.h"
#include "loopback_peers.h"
#include "test_ca.h"
#include "notify/notifier.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {
SafetyVerdict verdict(bool safe, const QDateTime &when = QDateTime::currentDateTimeUtc())
{
    SafetyVerdict v;
    v.known = true;
    v.safe = safe;
    v.changed = when;
    if (!safe)
        v.unsafe = {{"rain", "Rain", when}};
    return v;
}

QJsonObject json(const HttpRequest &r)
{
    return QJsonDocument::fromJson(r.body).object();
}

struct Reports {
    QStringList lines;
    NotifySender::Report sink()
    {
        return [this](const QString &t) { lines << t; };
    }
};
} // namespace

TEST(Notifier, OneMessagePerTurnOnEveryChannel)
{
    HttpReceiver http;
    ASSERT_TRUE(http.listen());
    SmtpServer smtp;
    ASSERT_TRUE(smtp.up()) << "aiosmtpd (python3-aiosmtpd) must run on loopback";
    Settings s;
    s.NotifyWebhookUrl = http.url("/hook");
    s.NotifyPushUrl = http.url("/topic");
    s.NotifySmtpUrl = smtp.url();
    s.NotifySmtpStartTls = false; // the local server offers no TLS
    s.NotifyMailFrom = "Dome <dome@example.org>";
    s.NotifyMailTo = "night@example.org, day@example.org";
    s.NotifyEveryMinutes = 0;
    WatchFeed feed;
    Reports reports;
    Notifier n(feed, s, std::make_unique<NotifySender>(notifyChannels(s), reports.sink()));

    feed.setSafety(verdict(true)); // the start's verdict is no turn
    feed.setSafety(verdict(false));
    feed.setSafety(verdict(false)); // still unsafe: nothing new
    ASSERT_TRUE(http.waitFor(2));
    ASSERT_TRUE(smtp.waitFor(1));
    QTest::qWait(300);
    ASSERT_EQ(http.requests.size(), 2);
    const HttpRequest hook = http.requests[0].head.contains("/hook") ? http.requests[0] : http.requests[1];
    const HttpRequest push = http.requests[0].head.contains("/topic") ? http.requests[0] : http.requests[1];
    EXPECT_EQ(json(hook)["event"].toString(), "unsafe");
    EXPECT_EQ(json(hook)["reasons"].toArray().first().toString(), "Rain");
    EXPECT_EQ(push.header("Title"), "Tarnwick: Unsafe: rain");
    EXPECT_EQ(push.header("Priority"), "high");
    EXPECT_TRUE(push.header("Tags").contains("unsafe"));
    EXPECT_TRUE(push.body.contains("Rain"));
    const QString mail = smtp.mails().first();
    EXPECT_TRUE(mail.contains("To: night@example.org, day@example.org")) << qPrintable(mail);
    EXPECT_TRUE(mail.contains("- Rain"));

    feed.setSafety(verdict(true));
    ASSERT_TRUE(http.waitFor(4));
    ASSERT_TRUE(smtp.waitFor(2));
    EXPECT_TRUE(json(http.requests[2]).value("event") == "safe" || json(http.requests[3]).value("event") == "safe");
    n.programStopping();
    ASSERT_TRUE(http.waitFor(6));
    ASSERT_TRUE(smtp.waitFor(3));
    EXPECT_TRUE(reports.lines.isEmpty()) << qPrintable(reports.lines.join('\n'));
}

TEST(Notifier, FlappingRainSensorGivesTwoMessagesTheSecondTheLatestState)
{
    struct Case {
        int turns; // every 10 s from safe: odd ones unsafe
        const char *last;
    };
    for (const Case c : {Case{60, "safe"}, Case{59, "unsafe"}}) {
        HttpReceiver http;
        ASSERT_TRUE(http.listen());
        Settings s;
        s.NotifyWebhookUrl = http.url("/hook");
        WatchFeed feed;
        const QDateTime start = QDateTime::currentDateTimeUtc();
        QDateTime now = start;
        Notifier n(feed, s, std::make_unique<NotifySender>(notifyChannels(s), NotifySender::Report{}), [&] { return now; });
        feed.setSafety(verdict(true, now));
        for (int turn = 1; turn <= c.turns; ++turn) {
            now = start.addSecs(turn * 10);
            feed.setSafety(verdict(turn % 2 == 0, now));
            n.checkDue();
        }
        now = start.addSecs(15 * 60 + 10); // the period after the first message is over
        n.checkDue();
        ASSERT_TRUE(http.waitFor(2));
        QTest::qWait(500);
        ASSERT_EQ(http.requests.size(), 2);
        EXPECT_EQ(json(http.requests[0])["event"].toString(), "unsafe");
        const QJsonObject second = json(http.requests[1]);
        EXPECT_EQ(second["event"].toString(), c.last) << "the last state arrives, after " << c.turns << " turns";
        EXPECT_EQ(second["held_back"].toInt(), c.turns - 2);
        n.programStopping(); // delivered while this thread still answers
        ASSERT_TRUE(QTest::qWaitFor([&] { return n.sender().delivered() == 3; }, 5000));
    }
}

TEST(Notifier, TheStateFoundAtStartUpIsNoTurnAndTakesNoPlaceInTheRateLimit)
{
    HttpReceiver http;
    ASSERT_TRUE(http.listen());
    Settings s;
    s.NotifyWebhookUrl = http.url("/hook");
    s.NotifyEveryMinutes = 15;
    WatchFeed feed;
    Notifier n(feed, s, std::make_unique<NotifySender>(notifyChannels(s), NotifySender::Report{}));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    SafetyVerdict waiting = verdict(false, now);
    waiting.unsafe = {{"board", "No reading from the board yet", now}};
    feed.setSafety(waiting);
    waiting.unsafe = {{"startup", "Waiting 10 min after start", now}};
    feed.setSafety(waiting);
    feed.setSafety(verdict(true)); // the wait is over: the state the watch starts in
    feed.setSafety(verdict(false)); // rain minutes later: a turn, sent at once
    ASSERT_TRUE(http.waitFor(1));
    QTest::qWait(300);
    ASSERT_EQ(http.requests.size(), 1);
    EXPECT_EQ(json(http.requests[0])["event"].toString(), "unsafe");
}

TEST(Notifier, BoardAndUploadEvents)
{
    HttpReceiver http;
    ASSERT_TRUE(http.listen());
    Settings s;
    s.NotifyWebhookUrl = http.url("/hook");
    s.NotifyEveryMinutes = 0;
    WatchFeed feed;
    QDateTime now = QDateTime::currentDateTimeUtc();
    Notifier n(feed, s, std::make_unique<NotifySender>(notifyChannels(s), NotifySender::Report{}), [&] { return now; });
    BoardStatus b;
    b.state = BoardState::Live;
    feed.setBoard(b); // a first live board is no news
    b.state = BoardState::Lost;
    b.reason = "Input/output error";
    feed.setBoard(b);
    b.state = BoardState::Searching;
    feed.setBoard(b);
    b.state = BoardState::Live;
    feed.setBoard(b);
    n.uploadResult(false, "HTTP 503");
    now = now.addSecs(9 * 60);
    n.uploadResult(false, "HTTP 503");
    n.checkDue();
    now = now.addSecs(60);
    n.checkDue();
    n.checkDue();
    n.uploadResult(true, {});
    ASSERT_TRUE(http.waitFor(4));
    QTest::qWait(300);
    QStringList events;
    for (const HttpRequest &r : http.requests)
        events << json(r)["event"].toString();
    EXPECT_EQ(events, QStringList({"board_lost", "board_back", "upload_failing", "upload_working"}));
    EXPECT_EQ(json(http.requests[0])["reasons"].toArray().first().toString(), "Input/output error");
    n.programStopping();
    ASSERT_TRUE(QTest::qWaitFor([&] { return n.sender().delivered() == 5; }, 5000));
}

TEST(Notifier, ReceiverDownIsRetriedAndReportedOnce)
{
    const quint16 port = freeLoopbackPort(); // nobody listens there yet
    Settings s;
    s.NotifyWebhookUrl = QStringLiteral("http://127.0.0.1:%1/hook").arg(port);
    s.NotifyEveryMinutes = 0;
    WatchFeed feed;
    Reports reports;
    NotifyTiming fast;
    fast.firstRetryMs = 200;
    Notifier n(feed, s, std::make_unique<NotifySender>(notifyChannels(s), reports.sink(), fast));
    feed.setSafety(verdict(true));
    feed.setSafety(verdict(false));
    ASSERT_TRUE(QTest::qWaitFor([&] { return n.sender().attempts() >= 2; }, 5000));
    HttpReceiver http;
    ASSERT_TRUE(http.listen(port));
    ASSERT_TRUE(http.waitFor(1, 8000));
    EXPECT_EQ(json(http.requests[0])["event"].toString(), "unsafe");
    ASSERT_TRUE(QTest::qWaitFor([&] { return reports.lines.size() >= 2; }, 3000));
    EXPECT_EQ(reports.lines.size(), 2) << qPrintable(reports.lines.join('\n'));
    EXPECT_TRUE(reports.lines[0].contains("could not be delivered"));
    EXPECT_TRUE(reports.lines[1].contains("delivered again"));
    n.programStopping();
    ASSERT_TRUE(QTest::qWaitFor([&] { return n.sender().delivered() == 2; }, 5000));
}

TEST(Notifier, HungReceiverDoesNotHoldTheWatch)
{
    HttpReceiver http;
    http.silent = true;
    ASSERT_TRUE(http.listen());
    Settings s;
    s.NotifyWebhookUrl = http.url("/hook");
    s.NotifyEveryMinutes = 0;
    WatchFeed feed;
    Notifier n(feed, s, std::make_unique<NotifySender>(notifyChannels(s), NotifySender::Report{}));
    feed.setSafety(verdict(true));
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 20; ++i)
        feed.setSafety(verdict(i % 2 == 0));
    EXPECT_LT(t.elapsed(), 200) << "the turns waited for the receiver";
    ASSERT_TRUE(http.waitFor(1));
    t.start();
    QTest::qWait(1000); // the watch's own events keep flowing meanwhile
    EXPECT_LT(t.elapsed(), 1500);
    t.start();
    n.sender().finish(0); // shutting down ends the hung transfer
    EXPECT_LT(t.elapsed(), 3000);
}

TEST(Notifier, StartTlsRequiredKeepsTheLoginOffAPlainServer)
{
    SmtpServer smtp;
    ASSERT_TRUE(smtp.up()) << "aiosmtpd (python3-aiosmtpd) must run on loopback";
    Settings s;
    s.NotifySmtpUrl = smtp.url();
    s.NotifySmtpUser = "dome";
    s.NotifySmtpPassword = "secret";
    s.NotifyMailFrom = "dome@example.org";
    s.NotifyMailTo = "night@example.org";
    WatchFeed feed;
    Reports reports;
    Notifier n(feed, s, std::make_unique<NotifySender>(notifyChannels(s), reports.sink()));
    n.programStarted();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !reports.lines.isEmpty(); }, 10000));
    EXPECT_TRUE(reports.lines[0].contains("e-mail")) << qPrintable(reports.lines[0]);
    EXPECT_TRUE(smtp.mails().isEmpty());
}

TEST(Notifier, MailGoesOverStartTlsToAServerOfOnesOwnAuthority)
{
    TestCertificates certs;
    ASSERT_TRUE(certs.made()) << qPrintable(certs.error);
    SmtpServer smtp(certs.certFile(), certs.keyFile());
    ASSERT_TRUE(smtp.up()) << "aiosmtpd (python3-aiosmtpd) must run on loopback";
    Settings s;
    s.NotifySmtpUrl = smtp.url().replace("127.0.0.1", "localhost"); // the name the certificate carries
    s.NotifyMailFrom = "dome@example.org";
    s.NotifyMailTo = "night@example.org";
    WatchFeed feed;
    Reports reports;
    {   // The system's authorities alone do not know the server: refused, reported.
        Notifier n(feed, s, std::make_unique<NotifySender>(notifyChannels(s), reports.sink()));
        n.programStarted();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !reports.lines.isEmpty(); }, 10000));
        EXPECT_TRUE(smtp.mails().isEmpty());
    }
    s.NotifyCaFile = certs.caFile();
    Notifier n(feed, s, std::make_unique<NotifySender>(notifyChannels(s), reports.sink()));
    n.programStarted();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !smtp.mails().isEmpty(); }, 10000)) << qPrintable(reports.lines.join('\n'));
    EXPECT_TRUE(smtp.mails()[0].contains("Started")) << qPrintable(smtp.mails()[0]);
}
