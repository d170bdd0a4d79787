// The setup dialog's Connections page on the whole program over a
// pseudo-terminal: what OK saves, and that the broker link, the weather data
// file and the upload services follow it without a restart.
#include "app/app.h"
#include "app/command_line.h"
#include "app/desktop/desktop_app.h"
#include "capture_server.h"
#include "core/settings.h"
#include "message_recorder.h"
#include "mqtt_peers.h"
#include "station/board_simulator.h"
#include "station/serial_station_port.h"
#include "station/watch_model.h"
#include "temp_profile.h"
#include "upload/services.h"
#include "upload/uploads.h"
#include "windows/upload_setup.h"
#include "windows/run_setup_dialog.h"
#include "windows/setup_dialog.h"
#include "windows/setup_services_table.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QLayout>
#include <QScrollArea>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
using Step = std::function<void(frmSetup &)>;

void clickOk(frmSetup &d)
{
    QTest::mouseClick(d.findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
}
} // namespace

class SetupConnectionsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetProgram();
        writeDefaultsIfNeeded(*profile.store);
    }
    void TearDown() override
    {
        app.reset();
        resetProgram();
    }
    void start()
    {
        ASSERT_TRUE(sim->start()) << qPrintable(sim->errorText());
        app = Main(parseCommandLine({"tarnwick", "--serial-device", sim->slavePath(), "--no-alpaca", "--no-archive",
                                     "--log-dir", profile.dir.path()}),
                   *profile.store);
        app->model->setTimerInterval(200);
        app->port->setReceiveTimeoutMs(300);
    }
    // Runs the setup procedure; each showing of the dialog runs the next step,
    // and a showing the step leaves open is cancelled.
    void runSetup(std::vector<Step> steps)
    {
        frmSetup *d = app->setup->dialog();
        size_t next = 0;
        auto conn = QObject::connect(d, &frmSetup::shown, d, [&, d] {
            QTimer::singleShot(0, d, [&, d] {
                if (next < steps.size())
                    steps[next++](*d);
                if (d->isVisible())
                    d->cmdCancel_Click();
            });
        });
        app->setup->run();
        QObject::disconnect(conn);
        EXPECT_EQ(next, steps.size());
    }
    Settings stored() const
    {
        Settings s;
        loadSettings(*profile.store, s);
        return s;
    }
    void setMqtt(frmSetup &d, quint16 port, const QString &prefix)
    {
        d.setCheckState(SetupControl::chkMqttEnabled, Checked);
        d.setBoxText(SetupControl::MqttHost, QStringLiteral("127.0.0.1"));
        d.setBoxText(SetupControl::MqttPort, QString::number(port));
        d.setBoxText(SetupControl::MqttTopicPrefix, prefix);
        d.setBoxText(SetupControl::MqttKeepAliveSeconds, QStringLiteral("12"));
    }

    MessageRecorder messages;
    TempProfile profile;
    std::unique_ptr<BoardSimulator> sim = std::make_unique<BoardSimulator>(5);
    std::unique_ptr<DesktopApp> app;
};

// The link in use says "offline" and closes; the new one connects to the
// broker now named, under the new prefix.
TEST_F(SetupConnectionsTest, MqttFollowsTheDialogToAnotherBroker)
{
    Broker first, second;
    ASSERT_TRUE(first.start()) << first.log().constData();
    ASSERT_TRUE(second.start()) << second.log().constData();
    Subscriber onFirst(first.port), onSecond(second.port);
    profile.store->writeValue(kDriverId, "Enabled", "True", kMqttSubKey);
    profile.store->writeValue(kDriverId, "Host", "127.0.0.1", kMqttSubKey);
    profile.store->writeValue(kDriverId, "Port", QString::number(first.port), kMqttSubKey);
    profile.store->writeValue(kDriverId, "TopicPrefix", "obs/one", kMqttSubKey);
    start();
    ASSERT_GE(onFirst.waitFor("obs/one/status", 10000, 0, [](const QByteArray &p) { return p == "online"; }), 0);
    const size_t seen = onFirst.got.size();
    const qsizetype told = messages.texts.size();
    runSetup({[&](frmSetup &d) {
        setMqtt(d, second.port, QStringLiteral("obs/two"));
        d.setBoxText(SetupControl::MqttPassword, QStringLiteral("secret"));
        clickOk(d);
    }});
    EXPECT_GE(onFirst.waitFor("obs/one/status", 5000, seen, [](const QByteArray &p) { return p == "offline"; }), 0);
    EXPECT_GE(onSecond.waitFor("obs/two/status", 10000, 0, [](const QByteArray &p) { return p == "online"; }), 0);
    EXPECT_GE(onSecond.waitFor("obs/two/observation", 10000), 0);
    const Settings s = stored();
    EXPECT_EQ(s.MqttPort, second.port);
    EXPECT_EQ(s.MqttTopicPrefix, "obs/two");
    EXPECT_EQ(s.MqttKeepAliveSeconds, 12);
    EXPECT_EQ(s.MqttPassword, "secret");
    EXPECT_EQ(messages.texts.size(), told) << messages.texts.join('|').toStdString();
}

TEST_F(SetupConnectionsTest, WeatherDataFileStartsAtThePathChosen)
{
    start();
    const QString path = profile.dir.filePath("roof/weather.txt");
    ASSERT_TRUE(QDir().mkpath(profile.dir.filePath("roof")));
    runSetup({[&](frmSetup &d) {
        d.setBoxText(SetupControl::WeatherDataFile, path);
        clickOk(d);
    }});
    EXPECT_EQ(stored().WeatherDataFile, path);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(path); }, 10000));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().count('\n'), 1);

    // Emptied: no longer written.
    runSetup({[&](frmSetup &d) {
        d.setBoxText(SetupControl::WeatherDataFile, QString());
        clickOk(d);
    }});
    ASSERT_TRUE(QFile::remove(path));
    QTest::qWait(1500);
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(SetupConnectionsTest, ServiceAddedInTheTableIsAskedWithoutARestart)
{
    CaptureServer server;
    start();
    const QString address = server.url(QStringLiteral("/obs?t={tempc}&at={dateutc}"));
    runSetup({[&](frmSetup &d) {
        QTest::mouseClick(d.findChild<QPushButton *>(QStringLiteral("cmdAddService")), Qt::LeftButton);
        ServicesTable *table = d.servicesTable();
        ASSERT_EQ(table->rowCount(), 1);
        table->setCell(0, ServiceColumn::Kind, QStringLiteral("get"));
        table->setCell(0, ServiceColumn::Name, QStringLiteral("Loopback"));
        table->setCell(0, ServiceColumn::Address, address);
        table->setCell(0, ServiceColumn::StationId, QStringLiteral("not used by a GET"));
        table->setCell(0, ServiceColumn::Interval, QStringLiteral("1"));
        clickOk(d);
    }});
    const QString text = stored().UploadServices;
    EXPECT_EQ(text, QStringLiteral("get|Loopback|%1|1").arg(address));
    QStringList problems;
    const auto configs = parseServices(text, problems);
    ASSERT_EQ(configs.size(), 1u);
    EXPECT_TRUE(problems.isEmpty());
    ASSERT_EQ(app->upload->services().size(), 1u);
    EXPECT_EQ(app->upload->services()[0]->config().name, "Loopback");
    ASSERT_TRUE(server.waitForRequests(1, 15000));
    EXPECT_TRUE(server.requests[0].startsWith("GET /obs?t=")) << server.requests[0].constData();

    // Shown again as it was saved.
    runSetup({[&](frmSetup &d) { EXPECT_EQ(d.servicesText(), text); }});
}

// Refused in the dialog itself, every typed text still there, nothing saved.
TEST_F(SetupConnectionsTest, UnusableConnectionFieldsAreRefusedInPlace)
{
    profile.store->writeValue(kDriverId, "UploadServices", "# kept as it is\npws|Club|https://club.example/u|ST1|k|60",
                              kUploadSubKey);
    start();
    const qsizetype told = messages.texts.size();
    runSetup({[&](frmSetup &d) {
        ServicesTable *table = d.servicesTable();
        ASSERT_EQ(table->rowCount(), 1);
        d.setBoxText(SetupControl::MqttTopicPrefix, QStringLiteral("obs/#"));
        d.setBoxText(SetupControl::MqttPort, QStringLiteral("0"));
        table->addRow();
        table->setCell(1, ServiceColumn::Kind, QStringLiteral("get"));
        table->setCell(1, ServiceColumn::Address, QStringLiteral("http://127.0.0.1/x"));
        table->setCell(1, ServiceColumn::Interval, QStringLiteral("soon"));
        auto *scroll = d.findChild<QScrollArea *>(QStringLiteral("setupScroll"));
        d.setAdvancedMode(true);
        QTest::qWait(50);
        const int contentWidth = scroll->widget()->width();
        // A pws row with its key but no station ID: the uploads cannot use it.
        table->addRow();
        table->setCell(2, ServiceColumn::Address, QStringLiteral("https://pws.example/up"));
        table->setCell(2, ServiceColumn::Key, QStringLiteral("s3cr3tkey"));
        clickOk(d);
        EXPECT_TRUE(d.isVisible());
        auto *error = d.findChild<QLabel *>(QStringLiteral("lblConnectionsError"));
        EXPECT_TRUE(error->isVisible());
        for (const char *part : {"topic prefix \"obs/#\"", "port \"0\"",
                                 "service row 2: Every (s) is not a whole number of seconds",
                                 "service row 3: Station ID is empty"})
            EXPECT_TRUE(error->text().contains(QLatin1String(part))) << part << " in " << error->text().toStdString();
        // Named by row and column; what the row holds (its key) is not shown.
        for (const char *held : {"s3cr3tkey", "pws.example", "127.0.0.1", "soon"})
            EXPECT_FALSE(error->text().contains(QLatin1String(held))) << held << " in " << error->text().toStdString();
        // The message wraps within the page: it makes nothing wider to scroll to.
        QTest::qWait(50);
        EXPECT_EQ(scroll->widget()->width(), contentWidth);
        EXPECT_EQ(d.boxText(SetupControl::MqttTopicPrefix), "obs/#");
        EXPECT_EQ(table->rowCount(), 3);
        // Mended, it saves; the line the table could not show is kept.
        d.setBoxText(SetupControl::MqttTopicPrefix, QStringLiteral("obs/site"));
        d.setBoxText(SetupControl::MqttPort, QStringLiteral("1884"));
        table->setCell(1, ServiceColumn::Interval, QStringLiteral("30"));
        table->setCell(2, ServiceColumn::StationId, QStringLiteral("ST9"));
        clickOk(d);
        EXPECT_FALSE(d.isVisible());
    }});
    const Settings s = stored();
    EXPECT_EQ(s.MqttTopicPrefix, "obs/site");
    EXPECT_EQ(s.MqttPort, 1884);
    EXPECT_EQ(s.UploadServices,
              "pws|Club|https://club.example/u|ST1|k|60\nget||http://127.0.0.1/x|30\n"
              "pws||https://pws.example/up|ST9|s3cr3tkey|60\n# kept as it is");
    EXPECT_EQ(messages.texts.size(), told) << messages.texts.join('|').toStdString(); // no box

    // Cancel after a refusal: the profile is as it was.
    const auto saved = profile.store->entries();
    runSetup({[&](frmSetup &d) {
        d.setBoxText(SetupControl::MqttKeepAliveSeconds, QStringLiteral("2"));
        clickOk(d);
        EXPECT_TRUE(d.connectionsError().contains(QLatin1String("keep-alive")));
    }});
    const auto after = profile.store->entries();
    ASSERT_EQ(after.size(), saved.size());
    for (int i = 0; i < after.size(); ++i)
        EXPECT_EQ(after[i].value, saved[i].value) << after[i].name.toStdString();
}

// Each kind's columns land in the fields the uploads read, and back.
TEST(ServiceRows, EveryKindRoundTripsThroughTheUploadsParser)
{
    const QString text = QStringLiteral("pws|Club|https://a.example/u|ST1|key|60\n"
                                        "windmap|Map|https://m.example/api|7|pw|300\n"
                                        "get|Mine|http://h.example/x?t={tempc}|30\n"
                                        "post|Form|http://h.example/p|t={tempc}&h={humidity}|120");
    const ServiceRows rows = serviceRowsFromText(text);
    ASSERT_EQ(rows.rows.size(), 4u);
    EXPECT_TRUE(rows.keptLines.isEmpty());
    EXPECT_EQ(serviceTextFromRows(rows), text);
    QStringList problems;
    const auto configs = parseServices(serviceTextFromRows(rows), problems);
    ASSERT_EQ(configs.size(), 4u);
    EXPECT_EQ(configs[0].password, "key");
    EXPECT_EQ(configs[1].stationId, "7");
    EXPECT_EQ(configs[2].address, "http://h.example/x?t={tempc}");
    EXPECT_EQ(configs[3].bodyTemplate, "t={tempc}&h={humidity}");
    ServiceRow split = rows.rows[0];
    split.key = QStringLiteral("a|b");
    EXPECT_EQ(serviceRowProblems(split, 1),
              QStringList{"service row 1: Key holds a \"|\" or a line break, which would split the row"});
    split.key = QStringLiteral("ab");
    split.body = QStringLiteral("a|b"); // not part of a pws line
    EXPECT_TRUE(serviceRowProblems(split, 1).isEmpty());
}
