// The running program's settings from outside: "config set" goes through the
// program (checked, saved, applied, kept at exit), the settings routes on the
// real HTTP server refuse what they must and save nothing then, a page POST
// and a "config set" at the same time both land, and no secret reaches a
// response, the page source or the diagnostic log.
#include "free_port.h"
#include "core/profile_store.h"
#include "core/settings.h"
#include "http_client.h"

#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

int config(const QString &profile, const QStringList &args, QString *err = nullptr)
{
    QProcess p;
    p.start(QStringLiteral(TARNWICK_BINARY), QStringList{"--profile", profile, "config"} + args);
    if (!p.waitForFinished(20000))
        return -1;
    if (err)
        *err = QString::fromLocal8Bit(p.readAllStandardError());
    return p.exitCode();
}

struct Program {
    QTemporaryDir dir;
    QString profile = dir.path() + "/profile.ini";
    quint16 port = freeLoopbackPort();
    QProcess proc;
    QByteArray token;

    bool start()
    {
        proc.setProcessChannelMode(QProcess::ForwardedChannels);
        proc.start(QStringLiteral(TARNWICK_BINARY), {"--headless", "--simulate", "--profile", profile, "--log-dir", dir.path(),
                                                     "--no-archive", "--alpaca-port", QString::number(port)});
        return proc.waitForStarted(5000) && QTest::qWaitFor([this] { return get("/tarnwick/v1/settings").status == 200; }, 60000);
    }
    HttpAnswer get(const QByteArray &path)
    {
        return rawExchange(port, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n", 3000);
    }
    // Every post carries the token this machine is handed, so what refuses
    // it below is the request itself.
    HttpAnswer post(const QByteArray &body, const QByteArray &extra = {}, const QByteArray &type = "application/json")
    {
        if (token.isEmpty())
            token = get("/tarnwick/v1/session").json()["csrf"].toString().toLatin1();
        return rawExchange(port, "POST /tarnwick/v1/settings HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port)
                                     + "\r\nContent-Type: " + type + "\r\nX-CSRF-Token: " + token + "\r\n" + extra
                                     + "Content-Length: "
                                     + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body,
                           5000);
    }
    // The running value of a key, as the settings route gives it.
    QString value(const QString &key)
    {
        for (const QJsonValue &g : get("/tarnwick/v1/settings").json()["groups"].toArray())
            for (const QJsonValue &f : g["fields"].toArray())
                if (f["key"].toString() == key)
                    return f["value"].toString();
        return "(missing)";
    }
    QString onDisk(const QString &name, const QString &sub = {}) { return ProfileStore(profile).value(kDriverId, name, sub); }
    int stop()
    {
        proc.terminate();
        proc.waitForFinished(15000);
        return proc.exitCode();
    }
    ~Program()
    {
        if (proc.state() != QProcess::NotRunning)
            stop();
    }
};

} // namespace

TEST(SettingsOfARunningProgram, ConfigSetGoesThroughTheProgramAndStaysAfterItEnds)
{
    Program program;
    ASSERT_TRUE(program.start());
    QString err;
    EXPECT_EQ(config(program.profile, {"set", "WindTimer", "200"}, &err), 0) << err.toStdString();
    EXPECT_EQ(program.value("WindTimer"), "200");
    EXPECT_EQ(program.onDisk("WindTimer"), "200");
    EXPECT_EQ(config(program.profile, {"set", "StepTime", "0"}, &err), 2);
    EXPECT_TRUE(err.contains("StepTime must be above 0 (not \"0\")")) << err.toStdString();
    EXPECT_EQ(config(program.profile, {"set", "WindTmer", "5"}, &err), 2);
    EXPECT_TRUE(err.contains("did you mean WindTimer")) << err.toStdString();
    EXPECT_EQ(config(program.profile, {"set", "ArchiveDays", "9"}, &err), 0);
    EXPECT_TRUE(err.contains("next start")) << err.toStdString();
    EXPECT_EQ(config(program.profile, {"get", "WindTimer"}), 0);
    EXPECT_EQ(program.stop(), 0);
    // The program's own save at exit keeps what was set while it ran.
    EXPECT_EQ(program.onDisk("WindTimer"), "200");
    EXPECT_EQ(program.onDisk("ArchiveDays"), "9");
}

TEST(SettingsOfARunningProgram, APagePostAndAConfigSetAtOnceBothLand)
{
    Program program;
    ASSERT_TRUE(program.start());
    for (int round = 1; round <= 5; ++round) {
        const QString n = QString::number(round * 10);
        QProcess set;
        set.start(QStringLiteral(TARNWICK_BINARY), {"--profile", program.profile, "config", "set", "RainOnTime", n});
        const HttpAnswer posted = program.post(QStringLiteral("{\"Sky/K2\":\"%1\"}").arg(n).toUtf8());
        ASSERT_TRUE(set.waitForFinished(20000));
        EXPECT_EQ(set.exitCode(), 0) << set.readAllStandardError().toStdString();
        EXPECT_EQ(posted.status, 200) << posted.body.toStdString();
        EXPECT_EQ(program.onDisk("RainOnTime"), n);
        EXPECT_EQ(program.onDisk("K2", "Sky"), n);
        EXPECT_EQ(program.value("RainOnTime"), n);
        EXPECT_EQ(program.value("Sky/K2"), n);
    }
    EXPECT_EQ(program.stop(), 0);
    EXPECT_EQ(program.onDisk("RainOnTime"), "50");
    EXPECT_EQ(program.onDisk("K2", "Sky"), "50");
}

TEST(SettingsOfARunningProgram, RefusedRequestsSaveNothingAndSecretsStayInside)
{
    Program program;
    ASSERT_EQ(config(program.profile, {"set", "Mqtt/Password", "hunter2-old"}), 0);
    ASSERT_TRUE(program.start());
    const QString hostBefore = program.onDisk("Host", "Mqtt");
    struct Refusal {
        const char *what;
        QByteArray body;
        QByteArray extra;
        QByteArray type;
        int status;
    };
    const Refusal refusals[] = {
        {"too large", "{\"Mqtt/Host\":\"" + QByteArray(40000, 'a') + "\"}", {}, "application/json", 413},
        {"beyond the server's limit", "{\"Mqtt/Host\":\"" + QByteArray(70000, 'a') + "\"}", {}, "application/json", 400},
        {"malformed", "{\"Mqtt/Host\":", {}, "application/json", 400},
        {"not an object", "[\"Mqtt/Host\"]", {}, "application/json", 400},
        {"a form", "Mqtt/Host=evil", {}, "application/x-www-form-urlencoded", 415},
        {"through a proxy", "{\"Mqtt/Host\":\"evil\"}", "X-Forwarded-For: 203.0.113.9\r\n", "application/json", 403},
        {"from another site", "{\"Mqtt/Host\":\"evil\"}", "Origin: http://evil.example\r\n", "application/json", 403},
        {"one bad value", "{\"Mqtt/Host\":\"evil\",\"Mqtt/Port\":\"0\"}", {}, "application/json", 400},
        {"an unknown key", "{\"Mqtt/Host\":\"evil\",\"Nope\":\"1\"}", {}, "application/json", 400},
        {"a key the page does not show", "{\"Mqtt/Host\":\"evil\",\"RegVer\":\"1\"}", {}, "application/json", 400},
    };
    for (const Refusal &r : refusals) {
        const HttpAnswer a = program.post(r.body, r.extra, r.type);
        EXPECT_EQ(a.status, r.status) << r.what << ": " << a.body.left(200).toStdString();
    }
    const HttpAnswer bad = program.post("{\"Mqtt/Host\":\"evil\",\"Mqtt/Port\":\"0\"}");
    EXPECT_EQ(bad.json()["field"].toString(), "Mqtt/Port");
    EXPECT_TRUE(bad.json()["message"].toString().contains("1 to 65535"));
    EXPECT_EQ(program.onDisk("Host", "Mqtt"), hostBefore);
    EXPECT_EQ(program.value("Mqtt/Host"), hostBefore);

    // A new password is taken, and neither it nor the old one is ever given out.
    const HttpAnswer changed = program.post("{\"Mqtt/Password\":\"hunter2-new\"}", "Origin: http://127.0.0.1:"
                                            + QByteArray::number(program.port) + "\r\n");
    EXPECT_EQ(changed.status, 200) << changed.body.toStdString();
    EXPECT_EQ(program.onDisk("Password", "Mqtt"), "hunter2-new");
    const QByteArray seen = program.get("/tarnwick/v1/settings").body + program.get("/settings").body
                            + program.get("/settings.js").body + changed.body;
    program.stop();
    QFile log(program.dir.path() + "/log.txt");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray logged = log.readAll();
    EXPECT_TRUE(logged.contains("setting Mqtt/Password changed by web 127.0.0.1")) << logged.right(400).toStdString();
    for (const QByteArray &secret : {QByteArray("hunter2-old"), QByteArray("hunter2-new")}) {
        EXPECT_FALSE(seen.contains(secret)) << secret.constData();
        EXPECT_FALSE(logged.contains(secret)) << secret.constData();
    }
}
