// The page at night in headless Chromium, served by the real program: the red
// night mode is remembered across a reload and leaves only reds on black; a
// program without an archive shows no chart box and no request of the page
// fails; the safety changes of the archive are listed with their reasons; and
// every time on the page is the browser's local time, UTC in its tooltip.
// With TARNWICK_SCREENSHOT_DIR set it saves the page in light, dark and red.
#include "page_fixture.h"
#include "archive/archive.h"
#include "core/solar.h"
#include "devtools_page.h"
#include "http_client.h"
#include "../archive/archive_fixture.h"

#include <QDir>
#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <cmath>
#include <gtest/gtest.h>

namespace {

constexpr double kLatitude = 52.2, kLongitude = 0.12;

// A day of observations every 30 s up to two minutes ago: clear, then an
// overcast spell, a shower, and clear again; unsafe while cloudy, raining or in daylight.
void archiveADay(const QString &path, const QDateTime &nowUtc)
{
    Archive archive;
    archive.setRetentionDays(100000);
    archive.setBatchSeconds(3600);
    ASSERT_TRUE(archive.open(path));
    const qint64 end = nowUtc.toSecsSinceEpoch() - 120, start = end - 24 * 3600;
    for (qint64 t = start; t < end; t += 30) {
        const double h = double(t - start) / 3600;
        const QDateTime utc = QDateTime::fromSecsSinceEpoch(t, Qt::UTC);
        Observation o = observationAt(utc, 8 + 4 * std::sin((h - 9) / 24 * 2 * M_PI));
        o.ambientMinusSkyC = h > 16 && h < 19 ? 16 + std::sin(h * 5) : 25 + std::sin(h * 3);
        o.skyC = o.ambientC - o.ambientMinusSkyC;
        o.humidityPercent = 70 + 15 * std::sin(h / 4);
        o.dewPointC = o.ambientC - (100 - o.humidityPercent) / 5;
        o.windAverage = 2 + 2 * std::sin(h / 2);
        o.windCurrent = o.windAverage + std::sin(h * 7);
        o.windGust = o.windAverage + 3;
        o.raining = h > 22 && h < 22.7;
        o.rainReading = o.raining ? 600 : 300;
        o.cloudy = o.ambientMinusSkyC <= 22;
        o.sky = o.cloudy ? SkyClass::Overcast : SkyClass::Clear;
        o.daylight = solarElevationDeg(utc, kLatitude, kLongitude) > 0;
        o.skyBrightness = o.daylight ? 500 : 1000;
        SafetyVerdict v;
        v.known = true;
        if (o.cloudy)
            v.unsafe.append({"clouds", "Overcast sky", utc});
        if (o.raining)
            v.unsafe.append({"rain", "Rain on the sensor", utc});
        if (o.daylight)
            v.unsafe.append({"daylight", "Daylight", utc});
        v.safe = v.unsafe.isEmpty();
        archive.add(withReadings(o), simulatedBoard(), v);
    }
}

QString js(const char *expression)
{
    return QString::fromUtf8(expression);
}

struct Program {
    QTemporaryDir dir;
    QString profile = dir.path() + "/profile.ini";
    quint16 port = freeLoopbackPort();
    QProcess process;

    bool start(const QStringList &archive)
    {
        for (const auto &[key, value] : {std::pair{"Latitude", QString::number(kLatitude)}, {"Longitude", QString::number(kLongitude)}})
            if (!configure(profile, key, value))
                return false;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(TARNWICK_BINARY), QStringList{"--headless", "--simulate", "--profile", profile, "--log-dir",
                                                                   dir.path(), "--alpaca-port", QString::number(port)} + archive);
        return process.waitForStarted(5000);
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(port); }
    ~Program()
    {
        process.terminate();
        process.waitForFinished(10000);
    }
};

void saveScreenshot(DevToolsPage &page, const char *name)
{
    const QString dir = qEnvironmentVariable("TARNWICK_SCREENSHOT_DIR", QDir::tempPath());
    QFile shot(dir + "/" + name);
    if (shot.open(QIODevice::WriteOnly))
        shot.write(page.screenshot());
}

// Any element whose text or background is not a red (green and blue no more than a third of red).
const char *kNotRed = "[...document.querySelectorAll('body, body *')].filter(e => e.offsetParent !== null || e === document.body)"
                      ".flatMap(e => [getComputedStyle(e).color, getComputedStyle(e).backgroundColor].map(c => [e.id || e.tagName, c]))"
                      ".filter(([, c]) => { const v = c.match(/[\\d.]+/g).map(Number); return (v.length < 4 || v[3] > 0)"
                      " && (v[1] > v[0] / 3 + 1 || v[2] > v[0] / 3 + 1); }).map(([n, c]) => n + ' ' + c).slice(0, 5)";

} // namespace

TEST(WebPageAtNight, NoArchiveNoChartBoxesNoFailedRequestsAndRedModeRemembered)
{
    Program program;
    ASSERT_TRUE(program.start({"--no-archive"}));
    auto sky = [&] { return rawExchange(program.port, "GET /tarnwick/v1/sky HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n", 1000).json(); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return sky()["moon"].isObject(); }, 60000));
    DevToolsPage page;
    ASSERT_TRUE(page.open(program.url())) << qPrintable(page.error());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !page.evaluate(js("document.getElementById('moon-panel').hidden")).toBool(); }, 15000));
    QTest::qWait(3000); // the live requests of a few seconds
    EXPECT_EQ(page.evaluate(js("[...document.querySelectorAll('.chart, #spans, .legend, #changes-panel')].filter(e => e.offsetParent !== null).length")).toInt(), 0);
    EXPECT_FALSE(page.evaluate(js("document.getElementById('no-archive').hidden")).toBool());
    EXPECT_TRUE(page.failedRequests().isEmpty()) << page.failedRequests().join('\n').toStdString();

    page.evaluate(js("document.getElementById('night-mode').click()"));
    ASSERT_TRUE(page.reload());
    EXPECT_EQ(page.evaluate(js("document.documentElement.dataset.mode")).toString(), "red");
    EXPECT_EQ(page.evaluate(js("getComputedStyle(document.body).backgroundColor")).toString(), "rgb(0, 0, 0)");
    EXPECT_EQ(page.evaluate(js("document.getElementById('night-mode').getAttribute('aria-pressed')")).toString(), "true");
    EXPECT_TRUE(page.failedRequests().isEmpty()) << page.failedRequests().join('\n').toStdString();
    EXPECT_TRUE(page.consoleProblems().isEmpty()) << page.consoleProblems().join('\n').toStdString();
}

TEST(WebPageAtNight, SafetyChangesWithReasonsLocalTimesAndTheThreeModes)
{
    Program program;
    const QString archivePath = program.dir.path() + "/archive.sqlite";
    archiveADay(archivePath, QDateTime::currentDateTimeUtc());
    ASSERT_TRUE(program.start({"--archive", archivePath}));
    auto get = [&](const char *path) {
        return rawExchange(program.port, QByteArray("GET ") + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n", 3000).json();
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return get("/tarnwick/v1/sky")["archive"].toBool(); }, 60000));

    DevToolsPage page;
    ASSERT_TRUE(page.open(program.url(), 1000, 900)) << qPrintable(page.error());
    page.setTimeZone("Asia/Kolkata"); // 5 h 30 min east of UTC: no clock of UTC can pass for it
    ASSERT_TRUE(page.reload());
    ASSERT_TRUE(QTest::qWaitFor([&] { return page.evaluate(js("document.querySelectorAll('#changes li').length")).toInt() > 0; }, 20000));

    // The archived spell of rain is listed, unsafe, with its reason and the local time.
    QString rainAt;
    for (const QJsonValue &c : get("/tarnwick/v1/safety-changes?limit=50")["changes"].toArray())
        if (c["unsafe"].toArray().contains("rain") && !c["before"].toArray().contains("rain"))
            rainAt = c["time"].toString();
    ASSERT_FALSE(rainAt.isEmpty()) << "the archive's rain is no safety change";
    const QDateTime rain = QDateTime::fromString(rainAt, Qt::ISODate);
    const QString local = rain.toTimeZone(QTimeZone("Asia/Kolkata")).toString("HH:mm");
    const QString rows = page.evaluate(js("[...document.querySelectorAll('#changes li')].map(li => li.textContent + ' @' + li.querySelector('time').title).join('\\n')")).toString();
    EXPECT_TRUE(rows.contains(QRegularExpression(local + "Unsafe[a-z, ]*rain @" + rain.toString("yyyy-MM-dd HH:mm:ss") + " UTC")))
        << qPrintable(rows) << "\nrain at " << qPrintable(local);

    // Every time shown is local, the UTC moment in its tooltip.
    const char *times = "[...document.querySelectorAll('time')].filter(t => t.dateTime).map(t => { const d = new Date(t.dateTime);"
                        " const hm = String(d.getHours()).padStart(2, '0') + ':' + String(d.getMinutes()).padStart(2, '0');"
                        " return t.textContent.includes(hm) && t.title === d.toISOString().slice(0, 19).replace('T', ' ') + ' UTC' ? '' : t.textContent + ' / ' + t.title; })";
    ASSERT_TRUE(QTest::qWaitFor([&] { return page.evaluate(js("document.querySelectorAll('#today time').length")).toInt() > 0; }, 15000));
    const QJsonArray checked = page.evaluate(js(times)).toArray();
    EXPECT_GE(checked.size(), 8);
    for (const QJsonValue &t : checked)
        EXPECT_EQ(t.toString(), "");
    EXPECT_EQ(page.evaluate(js("new Date().getTimezoneOffset()")).toInt(), -330);
    // The program's reasons name a time in UTC; the page shows it in local time too.
    EXPECT_EQ(page.evaluate(js("localizeUtcTimes('Overcast sky (ended 21:04 UTC; safe again 5 min after)')")).toString(),
              "Overcast sky (ended 02:34; safe again 5 min after)");

    // The day in light, dark and red; the red page has no colour but reds.
    page.evaluate(js("document.querySelector('#spans [data-span=\"86400\"]').click()"));
    const auto drawn = [&] { return page.evaluate(js("document.getElementById('chart-clouds').dataset.points")).toString().toInt() > 200; };
    ASSERT_TRUE(QTest::qWaitFor(drawn, 15000));
    QTest::qWait(500);
    // Nothing wider than the window: no part of the page is cut off at its right.
    EXPECT_TRUE(page.evaluate(js("document.documentElement.scrollWidth <= document.documentElement.clientWidth")).toBool());
    saveScreenshot(page, "page-light.png");
    page.setColourScheme("dark");
    QTest::qWait(500);
    saveScreenshot(page, "page-dark.png");
    page.evaluate(js("document.getElementById('night-mode').click()"));
    QTest::qWait(500);
    saveScreenshot(page, "page-red.png");
    page.setViewport(390, 844, true);
    QTest::qWait(500);
    EXPECT_LE(page.evaluate(js("document.documentElement.scrollWidth")).toInt(), 390);
    saveScreenshot(page, "page-red-phone.png");
    EXPECT_EQ(page.evaluate(js(kNotRed)).toVariant().toStringList().join(" | ").toStdString(), "");
    EXPECT_TRUE(page.failedRequests().isEmpty()) << page.failedRequests().join('\n').toStdString();
    EXPECT_TRUE(page.consoleProblems().isEmpty()) << page.consoleProblems().join('\n').toStdString();
}
