// The sender against receivers on loopback that are down, hang or refuse:
// each channel keeps the order of events, waits for no other channel, stops
// within its time, and never writes a receiver's secret into the log.
#include "loopback_peers.h"
#include "notify/notify_sender.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <gtest/gtest.h>

namespace {
NotifyEvent event(NotifyKind kind)
{
    NotifyEvent e;
    e.kind = kind;
    e.utc = QDateTime::currentDateTimeUtc();
    e.summary = eventName(kind);
    return e;
}

QString eventOf(const HttpRequest &r)
{
    return QJsonDocument::fromJson(r.body).object().value("event").toString();
}

// Every Qt message of the process while it lives, the debug lines included.
struct LogCapture {
    static inline QStringList lines;
    QtMessageHandler previous;
    LogCapture()
    {
        lines.clear();
        QLoggingCategory::setFilterRules(QStringLiteral("tarnwick.notify.debug=true"));
        previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &text) { lines << text; });
    }
    ~LogCapture()
    {
        qInstallMessageHandler(previous);
        QLoggingCategory::setFilterRules(QString());
    }
};
} // namespace

TEST(NotifySender, AfterAnOutageEventsArriveInOrderAndTheNewerStateReplacesTheOlder)
{
    const quint16 port = freeLoopbackPort(); // nobody listens there yet
    NotifyChannels channels;
    channels.webhookUrl = QStringLiteral("http://127.0.0.1:%1/hook").arg(port);
    NotifyTiming timing;
    timing.firstRetryMs = 700;
    NotifySender sender(channels, {}, timing);
    sender.send(event(NotifyKind::Unsafe));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sender.attempts() >= 1; }, 5000));
    sender.send(event(NotifyKind::BoardLost));
    sender.send(event(NotifyKind::Safe)); // the unsafe one never got out: this says it as it is now
    HttpReceiver http;
    ASSERT_TRUE(http.listen(port));
    ASSERT_TRUE(http.waitFor(2, 8000));
    QTest::qWait(1500);
    QStringList events;
    for (const HttpRequest &r : http.requests)
        events << eventOf(r);
    EXPECT_EQ(events, QStringList({"board_lost", "safe"}));
    EXPECT_EQ(QJsonDocument::fromJson(http.requests.last().body).object().value("held_back").toInt(), 1);
}

TEST(NotifySender, AHungChannelDelaysNoOtherAndTheStopIsBounded)
{
    HttpReceiver hung; // takes the webhook's request and the mail's connection, answers neither
    hung.silent = true;
    ASSERT_TRUE(hung.listen());
    HttpReceiver push;
    ASSERT_TRUE(push.listen());
    NotifyChannels channels;
    channels.webhookUrl = hung.url("/hook");
    channels.smtp.url = QStringLiteral("smtp://127.0.0.1:%1").arg(hung.port());
    channels.smtp.startTls = false;
    channels.mailFrom = "dome@example.org";
    channels.mailTo = QStringList{"night@example.org"};
    channels.pushUrl = push.url("/topic");
    NotifySender sender(channels, {});
    QElapsedTimer clock;
    clock.start();
    sender.send(event(NotifyKind::Unsafe));
    sender.send(event(NotifyKind::BoardLost));
    ASSERT_TRUE(push.waitFor(2, 3000)) << "the push waited for the hung channels";
    EXPECT_LT(clock.elapsed(), 3000);
    ASSERT_TRUE(hung.waitFor(1));
    clock.start();
    sender.finish(300);
    EXPECT_LT(clock.elapsed(), 2000);
}

TEST(NotifySender, ARefusingReceiverLeavesNoSecretInTheLog)
{
    HttpReceiver http;
    http.status = "403 Forbidden";
    ASSERT_TRUE(http.listen());
    const QString secret = QStringLiteral("s3cr3tT0k3n");
    struct Case {
        const char *channel;
        QString NotifyChannels::*url;
        QString path;
    };
    const Case cases[] = {{"push topic", &NotifyChannels::pushUrl, QStringLiteral("/alerts-") + secret},
                          {"webhook", &NotifyChannels::webhookUrl, QStringLiteral("/hook?token=") + secret}};
    for (const Case &c : cases) {
        LogCapture log;
        QStringList reports;
        NotifyChannels channels;
        channels.*c.url = QStringLiteral("http://dome:%1@127.0.0.1:%2%3").arg(secret).arg(http.port()).arg(c.path);
        NotifySender sender(channels, [&](const QString &t) { reports << t; });
        sender.send(event(NotifyKind::Unsafe));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !reports.isEmpty(); }, 5000)) << c.channel;
        sender.finish(0);
        EXPECT_TRUE(reports[0].contains(c.channel) && reports[0].contains("403")) << qPrintable(reports[0]);
        for (const QString &line : reports + LogCapture::lines)
            EXPECT_FALSE(line.contains(secret)) << qPrintable(line);
    }
}
