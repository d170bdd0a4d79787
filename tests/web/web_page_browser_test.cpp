// The page in a real browser: headless Chromium loads "/" from the program
// running on its simulator; the temperature it shows is the one the live JSON
// served for the same observation, and the chart holds points.
#include "http_client.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <map>

namespace {

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QString attribute(const QString &dom, const QString &id, const QString &name)
{
    const QRegularExpression re(QStringLiteral("id=\"%1\"[^>]*%2=\"([^\"]*)\"").arg(id, name));
    return re.match(dom).captured(1);
}

QString text(const QString &dom, const QString &id)
{
    const QRegularExpression re(QStringLiteral("id=\"%1\"[^>]*>([^<]*)<").arg(id));
    return re.match(dom).captured(1);
}

} // namespace

TEST(WebPageInBrowser, ShowsTheServedTemperatureAndCharts)
{
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (chromium.isEmpty())
        GTEST_SKIP() << "chromium is not installed (scripts/install-deps.sh installs it)";
    QTemporaryDir dir;
    const quint16 port = freePort();
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(TARNWICK_BINARY),
                  {"--headless", "--simulate", "--profile", dir.path() + "/profile.ini", "--log-dir", dir.path(),
                   "--archive", dir.path() + "/archive.sqlite", "--alpaca-port", QString::number(port)});
    ASSERT_TRUE(program.waitForStarted(5000));
    auto liveObservation = [port] { return rawExchange(port, "GET /tarnwick/v1/live HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n", 1000).json()["observation"].toObject(); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return !liveObservation().isEmpty(); }, 60000)) << "no live reading served";
    QTest::qWait(3000); // a few archived rows for the chart

    // Every live answer while the browser works, by observation time.
    std::map<QString, double> served;
    QProcess browser;
    browser.start(chromium, {"--headless", "--no-sandbox", "--disable-gpu", "--user-data-dir=" + dir.path() + "/chromium",
                             "--virtual-time-budget=4000", "--dump-dom",
                             QStringLiteral("http://127.0.0.1:%1/").arg(port)});
    ASSERT_TRUE(browser.waitForStarted(5000));
    while (!browser.waitForFinished(100)) {
        const QJsonObject o = liveObservation();
        if (!o.isEmpty())
            served[o["time"].toString()] = o["ambient_c"].toDouble();
        ASSERT_LT(served.size(), 200u) << "the browser did not finish";
    }
    const QString dom = QString::fromUtf8(browser.readAllStandardOutput());
    program.terminate();
    EXPECT_TRUE(program.waitForFinished(10000));

    const QString shownTime = attribute(dom, "now", "data-time");
    const QString shown = text(dom, "v-ambient_c");
    ASSERT_FALSE(shownTime.isEmpty()) << dom.left(2000).toStdString();
    ASSERT_TRUE(served.count(shownTime)) << "the page shows an observation never served: " << shownTime.toStdString();
    ASSERT_TRUE(shown.endsWith(" °C")) << shown.toStdString();
    bool ok = false;
    const double value = shown.chopped(3).toDouble(&ok);
    ASSERT_TRUE(ok) << shown.toStdString();
    EXPECT_NEAR(value, served[shownTime], 0.05 + 1e-9) << "shown " << shown.toStdString();
    EXPECT_EQ(text(dom, "board"), "simulated");
    // Just after start-up the monitor holds off "Safe" for its delay.
    EXPECT_EQ(text(dom, "verdict"), "Unsafe");
    EXPECT_GT(attribute(dom, "chart-temps", "data-points").toInt(), 0);
    EXPECT_TRUE(dom.contains("<canvas")) << "no chart was drawn";
}
