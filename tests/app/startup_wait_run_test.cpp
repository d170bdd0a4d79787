// The program on its simulated board, started on an archive written just
// before that is safe up to the start: it is safe at its first reading.
#include "archive/archive.h"

#include "alpaca/http_client.h"

#include <QJsonArray>
#include <QJsonDocument>
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

    // Eleven minutes of safe readings from the simulator up to 3 s ago.
    void archiveSafeMinutes()
    {
        Archive archive;
        ASSERT_TRUE(archive.open(dir.filePath("archive.sqlite")));
        SafetyVerdict safe;
        safe.known = true;
        safe.safe = true;
        const QDateTime now = QDateTime::currentDateTimeUtc();
        for (int s = -660; s < -3; ++s) {
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
    archiveSafeMinutes();
    const QJsonObject safety = verdictAfterFirstReading();
    EXPECT_TRUE(safety["safe"].toBool()) << QJsonDocument(safety).toJson().constData();
}
