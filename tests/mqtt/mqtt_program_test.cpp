// The program as a process on a real broker: what a subscriber gets equals
// the live page, every entity has its discovery config, and a hung or killed
// program is seen offline.
#include "alpaca/http_client.h"
#include "mqtt_peers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <gtest/gtest.h>
#include <signal.h>

namespace {

const QString kPrefix = QStringLiteral("tarnwick/test");
constexpr int kKeepAlive = 12;

QJsonObject jsonOf(const QByteArray &payload)
{
    return QJsonDocument::fromJson(payload).object();
}

class ProgramOnBroker : public ::testing::Test {
protected:
    Broker broker;
    QTemporaryDir dir;
    QString profile = dir.path() + QStringLiteral("/profile.ini");
    quint16 alpacaPort = freeLoopbackPort();
    QProcess program;

    void SetUp() override
    {
        ASSERT_TRUE(broker.start()) << broker.log().constData();
        const QList<QStringList> settings = {
            {"Mqtt/Enabled", "True"},          {"Mqtt/Host", "127.0.0.1"},
            {"Mqtt/Port", QString::number(broker.port)}, {"Mqtt/TopicPrefix", kPrefix},
            {"Mqtt/KeepAliveSeconds", QString::number(kKeepAlive)}, {"Mqtt/Retain", "True"}};
        for (const QStringList &kv : settings)
            ASSERT_EQ(QProcess::execute(QStringLiteral(TARNWICK_BINARY),
                                        {"--profile", profile, "config", "set", kv[0], kv[1]}), 0) << qPrintable(kv[0]);
    }
    void TearDown() override
    {
        ::kill(pid_t(program.processId()), SIGCONT);
        program.kill();
        program.waitForFinished(3000);
    }
    void startProgram()
    {
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(TARNWICK_BINARY), {"--headless", "--simulate", "--profile", profile, "--no-archive",
                                                        "--alpaca-port", QString::number(alpacaPort), "--log-dir", dir.path()});
        ASSERT_TRUE(program.waitForStarted(5000));
    }
};

TEST_F(ProgramOnBroker, ValuesEqualTheLivePageAndEveryEntityIsDiscovered)
{
    Subscriber sub(broker.port);
    startProgram();
    ASSERT_GE(sub.waitFor(kPrefix + QStringLiteral("/status"), 15000, 0, [](const QByteArray &p) { return p == "online"; }), 0);

    // The same record as the page serves it and as the broker delivered it.
    QJsonObject live, sent;
    size_t sentAt = 0;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        live = rawExchange(alpacaPort, "GET /tarnwick/v1/live HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n").json()
                   .value(QStringLiteral("observation")).toObject();
        for (size_t i = 0; i < sub.got.size(); ++i) {
            if (sub.got[i].topic != kPrefix + QStringLiteral("/observation"))
                continue;
            sent = jsonOf(sub.got[i].payload);
            sentAt = i;
            if (!live.isEmpty() && sent.value(QStringLiteral("time")) == live.value(QStringLiteral("time")))
                return true;
        }
        return false;
    }, 15000));
    // A value's own topic holds, after that record, the last message sent up to the next record.
    const int next = sub.waitFor(kPrefix + QStringLiteral("/observation"), 3000, sentAt + 1);
    ASSERT_GE(next, 0);
    int compared = 0;
    for (auto it = live.constBegin(); it != live.constEnd(); ++it) {
        if (it.key() == QLatin1String("age_s") || it.key() == QLatin1String("safety") || it.key() == QLatin1String("unsafe"))
            continue; // the verdict may change between the record and the request
        if (it.key().endsWith(QLatin1String("_words")))
            continue; // the page's words for counts; the bus carries the counts
        EXPECT_EQ(sent.value(it.key()), it.value()) << qPrintable(it.key());
        if (!it.value().isDouble())
            continue;
        int own = -1;
        for (int i = 0; i < next; ++i)
            if (sub.got[size_t(i)].topic == kPrefix + QLatin1Char('/') + it.key())
                own = i;
        ASSERT_GE(own, 0) << qPrintable(it.key());
        EXPECT_DOUBLE_EQ(sub.got[size_t(own)].payload.toDouble(), it.value().toDouble()) << qPrintable(it.key());
        ++compared;
    }
    EXPECT_GE(compared, 10);
    EXPECT_TRUE(sent.value(QStringLiteral("cloud_cover_pct")).isDouble());
    EXPECT_EQ(sent.value(QStringLiteral("units")).toObject().value(QStringLiteral("ambient_c")).toString(), QStringLiteral("°C"));

    const QMap<QString, QString> deviceClass = {
        {"ambient_c", "temperature"}, {"sky_c", "temperature"}, {"dew_point_c", "temperature"},
        {"humidity_pct", "humidity"}, {"wind_avg", "wind_speed"}, {"gust", "wind_speed"},
        {"sky_minus_ambient_c", ""},  {"cloud_cover_pct", ""},    {"brightness", ""},
        {"safety", "safety"},         {"raining", "moisture"},    {"board", "problem"}};
    QSet<QString> seen, uniqueIds;
    for (const Delivery &d : sub.got) {
        if (!d.topic.startsWith(QLatin1String("homeassistant/")) || !d.topic.endsWith(QLatin1String("/config")))
            continue;
        QJsonParseError error;
        const QJsonObject c = QJsonDocument::fromJson(d.payload, &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << d.payload.constData();
        const QString object = d.topic.section(QLatin1Char('/'), -2, -2);
        ASSERT_TRUE(deviceClass.contains(object)) << qPrintable(d.topic);
        seen << object;
        uniqueIds << c.value(QStringLiteral("unique_id")).toString();
        EXPECT_EQ(c.value(QStringLiteral("device_class")).toString(), deviceClass.value(object)) << qPrintable(object);
        EXPECT_EQ(c.value(QStringLiteral("availability_topic")).toString(), kPrefix + QStringLiteral("/status"));
        EXPECT_EQ(c.value(QStringLiteral("expire_after")).toInt(), 60); // 2 x StaleAfterSeconds
        const QJsonObject device = c.value(QStringLiteral("device")).toObject();
        for (const char *key : {"name", "model", "sw_version"})
            EXPECT_FALSE(device.value(QLatin1String(key)).toString().isEmpty()) << key;
        // The entity's state topic carries something.
        EXPECT_GT(sub.count([&](const Delivery &x) { return x.topic == c.value(QStringLiteral("state_topic")).toString(); }), 0)
            << qPrintable(object);
    }
    EXPECT_EQ(seen.size(), deviceClass.size());
    EXPECT_EQ(uniqueIds.size(), deviceClass.size());

    // What a subscriber must not miss is acknowledged; readings that the next
    // record replaces are not, retained or not (each acknowledgement is a
    // wake-up of its own).
    for (const Delivery &d : sub.got) {
        const QString level = d.topic.section(QLatin1Char('/'), -1);
        const bool state = QStringList{"status", "safety", "board", "config"}.contains(level);
        EXPECT_EQ(d.qos, state ? 1 : 0) << qPrintable(d.topic);
    }
}

TEST_F(ProgramOnBroker, HungOrKilledProgramIsSeenOffline)
{
    Subscriber sub(broker.port, kPrefix + QStringLiteral("/#"));
    startProgram();
    const QString status = kPrefix + QStringLiteral("/status");
    const auto online = [](const QByteArray &p) { return p == "online"; };
    const auto offline = [](const QByteArray &p) { return p == "offline"; };
    ASSERT_GE(sub.waitFor(kPrefix + QStringLiteral("/observation"), 15000), 0);

    // Hung: the socket stays open; the keep-alive tells.
    ::kill(pid_t(program.processId()), SIGSTOP);
    QTest::qWait(200);
    const size_t hungAt = sub.got.size();
    const qint64 lastHeard = sub.got.back().atMs;
    const int wentOffline = sub.waitFor(status, 1500 * kKeepAlive + 2000, hungAt, offline);
    ASSERT_GE(wentOffline, 0);
    EXPECT_LE(sub.got[size_t(wentOffline)].atMs - lastHeard, 1500 * kKeepAlive);

    // Woken, it finds its link gone and comes back by itself.
    ::kill(pid_t(program.processId()), SIGCONT);
    ASSERT_GE(sub.waitFor(status, 10000, size_t(wentOffline) + 1, online), 0);

    const size_t killedAt = sub.got.size();
    const qint64 killedMs = sub.clock.elapsed();
    program.kill();
    const int dead = sub.waitFor(status, 1500 * kKeepAlive + 2000, killedAt, offline);
    ASSERT_GE(dead, 0);
    EXPECT_LE(sub.got[size_t(dead)].atMs - killedMs, 1500 * kKeepAlive);
}

} // namespace
