// The program on its simulated board, started on an archive written just
// before: safe up to the start, it is safe at the first reading; with a gap,
// it waits the full delay and says until when.
#include "archive/archive.h"

#include "focuser/http_client.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class StartupRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QFile control(dir.filePath("control"));
        ASSERT_TRUE(control.open(QIODevice::WriteOnly));
        control.write("rain=0\ncloud=0\nwind=0\n"); // a clear, dry, calm sky
        control.close();
        env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", dir.path());
        env.insert("XDG_CONFIG_HOME", dir.path());
        env.insert("TARNWICK_SIMULATOR_CONTROL", dir.filePath("control"));
        QProcess config; // whatever the hour: the simulated sky follows the clock
        config.setProcessEnvironment(env);
        config.start(TARNWICK_BINARY, {"--profile", profile(), "config", "set", "Safety/UnsafeInDaylight", "False"});
        ASSERT_TRUE(config.waitForFinished(30000));
        ASSERT_EQ(config.exitCode(), 0);
    }
    void TearDown() override
    {
        program.terminate();
        if (!program.waitForFinished(10000))
            program.kill();
    }
    QString profile() const { return dir.filePath("profile.ini"); }

    // Ten minutes of safe readings from the simulator up to 3 s ago, with a hole of holeSeconds.
    void archiveSafeMinutes(int holeSeconds)
    {
        Archive archive;
        ASSERT_TRUE(archive.open(dir.filePath("archive.sqlite")));
        SafetyVerdict safe;
        safe.known = true;
        safe.safe = true;
        const QDateTime now = QDateTime::currentDateTimeUtc();
        for (int s = -660; s < -3; ++s) {
            if (s >= -300 && s < -300 + holeSeconds)
                continue;
            Observation o;
            o.utc = now.addSecs(s);
            archive.add(o, BoardStatus{BoardState::Simulated, "", "", now.addSecs(-3600), o.utc}, safe);
        }
    }
    // The verdict once the program has its first reading.
    QJsonObject verdictAfterFirstReading()
    {
        {
            QTcpServer probe;
            EXPECT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
            port = probe.serverPort();
        }
        program.setProcessEnvironment(env);
        program.start(TARNWICK_BINARY, {"--simulate", "--headless", "--profile", profile(), "--log-dir", dir.path(),
                                        "--archive", dir.filePath("archive.sqlite"), "--alpaca-port", QString::number(port)});
        EXPECT_TRUE(program.waitForStarted(10000));
        for (int i = 0; i < 300; ++i) {
            const QJsonObject live = httpGet(port, "/tarnwick/v1/live").json();
            if (live.value("observation").isObject() && live.value("safety")["known"].toBool())
                return live.value("safety").toObject();
            QTest::qWait(100);
        }
        ADD_FAILURE() << "no reading within 30 s: " << program.readAllStandardError().constData();
        return {};
    }

    QTemporaryDir dir;
    QProcessEnvironment env;
    QProcess program;
    quint16 port = 0;
};

} // namespace

TEST_F(StartupRunTest, SafeUpToTheRestartIsSafeAtTheFirstSafeReading)
{
    archiveSafeMinutes(0);
    const QJsonObject safety = verdictAfterFirstReading();
    EXPECT_TRUE(safety["safe"].toBool()) << QJsonDocument(safety).toJson().constData();
}

TEST_F(StartupRunTest, AGapWaitsTheFullDelayAndSaysUntilWhen)
{
    archiveSafeMinutes(40);
    const QJsonObject safety = verdictAfterFirstReading();
    EXPECT_FALSE(safety["safe"].toBool());
    const QJsonArray unsafe = safety["unsafe"].toArray();
    ASSERT_EQ(unsafe.size(), 1) << QJsonDocument(safety).toJson().constData();
    EXPECT_EQ(unsafe[0]["name"].toString(), "startup");
    EXPECT_TRUE(QRegularExpression("^Waiting 10 min after start — safe at \\d\\d:\\d\\d UTC if nothing changes$")
                    .match(unsafe[0]["text"].toString())
                    .hasMatch())
        << unsafe[0]["text"].toString().toStdString();
}
