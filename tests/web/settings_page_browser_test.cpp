// The settings page in headless Chromium, served by the real program on a
// simulated board: a value holding markup shows as text, a secret never
// reaches the page, proposals from the address wait for Save, and the MQTT
// host and the sky thresholds changed on the page take effect within a
// cycle, without a restart (a real broker starts getting the readings; the
// sky class on /live follows the new thresholds).
#include "core/profile_store.h"
#include "core/settings.h"
#include "devtools_page.h"
#include "http_client.h"
#include "mqtt_peers.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QString kMarkup = QStringLiteral("<script>window.pwned=1</script><img src=x onerror=\"window.pwned=2\">");

bool configure(const QString &profile, const QString &key, const QString &value)
{
    QProcess p;
    p.start(QStringLiteral(TARNWICK_BINARY), {"--profile", profile, "config", "set", key, value});
    return p.waitForFinished(10000) && p.exitCode() == 0;
}

QString sky(quint16 port)
{
    const QJsonObject live =
        rawExchange(port, "GET /tarnwick/v1/live HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n", 1000).json();
    return live["observation"].toObject()["sky"].toString();
}

} // namespace

TEST(SettingsPageInBrowser, MarkupAsTextNoSecretsAndChangesTakeEffectWithinACycle)
{
    Broker broker;
    ASSERT_TRUE(broker.start()) << broker.log().toStdString();
    QTemporaryDir dir;
    const QString profile = dir.path() + "/profile.ini", control = dir.path() + "/control";
    QFile weather(control);
    ASSERT_TRUE(weather.open(QIODevice::WriteOnly) && weather.write("rain=0\ncloud=0\nwind=0\n") > 0);
    weather.close();
    for (const auto &[key, value] :
         {std::pair{"Mqtt/Enabled", QString("True")}, {"Mqtt/Host", QString("nowhere.invalid")},
          {"Mqtt/Port", QString::number(broker.port)}, {"Mqtt/Password", QString("hunter2-secret")},
          {"Notify/NotifyMailFrom", kMarkup}})
        ASSERT_TRUE(configure(profile, key, value)) << key;
    Subscriber subscriber(broker.port);

    const quint16 port = freeLoopbackPort();
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TARNWICK_SIMULATOR_CONTROL", control);
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(TARNWICK_BINARY), {"--headless", "--simulate", "--profile", profile, "--log-dir", dir.path(),
                                                    "--no-archive", "--alpaca-port", QString::number(port)});
    ASSERT_TRUE(program.waitForStarted(5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sky(port) == "clear"; }, 60000)) << "no clear sky served";

    DevToolsPage page;
    ASSERT_TRUE(page.open(QStringLiteral("http://127.0.0.1:%1/settings?Sky/K1=104").arg(port))) << qPrintable(page.error());
    auto js = [&](const QString &expression) { return page.evaluate(expression); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return js("document.querySelectorAll('.setting').length").toInt() > 50; }, 15000));

    // Markup in a value is text in its box; nothing of it ran or became an element.
    EXPECT_EQ(js("document.getElementById('f-Notify/NotifyMailFrom').value").toString(), kMarkup);
    EXPECT_TRUE(js("window.pwned === undefined && document.querySelectorAll('img').length === 0"
                   " && Array.from(document.querySelectorAll('script')).every(s => s.src !== '')").toBool());
    // The secret's box is empty and says only that it is set.
    EXPECT_EQ(js("document.getElementById('f-Mqtt/Password').value").toString(), "");
    EXPECT_EQ(js("document.getElementById('f-Mqtt/Password').placeholder").toString(), "set");
    EXPECT_FALSE(js("document.documentElement.outerHTML").toString().contains("hunter2"));
    // The proposal from the address is shown, not saved.
    EXPECT_EQ(js("document.getElementById('f-Sky/K1').value").toString(), "104");
    EXPECT_TRUE(js("document.getElementById('f-Sky/K1').classList.contains('proposed')").toBool());
    EXPECT_EQ(ProfileStore(profile).value(kDriverId, "K1", "Sky"), "33");
    EXPECT_EQ(subscriber.count([](const Delivery &) { return true; }), 0) << "the broker got readings before the host was right";

    // A refused value is named beside its field, and nothing is saved.
    js("document.getElementById('f-Mqtt/Port').value = '0'; document.getElementById('save').click()");
    EXPECT_TRUE(QTest::qWaitFor([&] { return js("document.getElementById('result').textContent").toString().startsWith("Not saved"); }, 5000));
    EXPECT_TRUE(js("document.querySelector('#f-Mqtt\\\\/Port ~ .error').textContent").toString().contains("1 to 65535"));
    EXPECT_EQ(ProfileStore(profile).value(kDriverId, "K1", "Sky"), "33");

    // The MQTT host and the sky thresholds, saved from the page.
    js(QStringLiteral("document.getElementById('f-Mqtt/Port').value = '%1';"
                      "document.getElementById('f-Mqtt/Host').value = '127.0.0.1';"
                      "document.getElementById('f-PartCloudyDegC').value = '90';"
                      "document.getElementById('f-FullCloudyDegC').value = '80';"
                      "document.getElementById('save').click()").arg(broker.port));
    QElapsedTimer sinceSaved;
    sinceSaved.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return js("document.getElementById('result').textContent").toString().startsWith("Saved"); }, 5000))
        << js("document.getElementById('result').textContent").toString().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return sky(port) == "overcast"; }, 5000)) << sky(port).toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return subscriber.count([](const Delivery &) { return true; }) > 0; }, 8000))
        << "no readings at the broker " << sinceSaved.elapsed() << " ms after the host was saved";
    ProfileStore saved(profile);
    EXPECT_EQ(saved.value(kDriverId, "Host", "Mqtt"), "127.0.0.1");
    EXPECT_EQ(saved.value(kDriverId, "K1", "Sky"), "104");
    EXPECT_EQ(saved.value(kDriverId, "Password", "Mqtt"), "hunter2-secret"); // an empty box keeps it
    // The session route comes with logins (404 until then) and the refused save above is a 400: nothing else.
    QStringList problems = page.consoleProblems();
    problems.removeIf([](const QString &p) {
        return (p.contains("404") && p.endsWith("/tarnwick/v1/session")) || (p.contains("400") && p.endsWith("/tarnwick/v1/settings"));
    });
    EXPECT_TRUE(problems.isEmpty()) << problems.join('\n').toStdString();
    program.terminate();
    EXPECT_TRUE(program.waitForFinished(10000));
}
