// The nights calendar and the sky calibration page in headless Chromium, on a
// generated year of archive: one shaded cell per night with its figures in
// the tooltip, tonight beside last night, the fit drawn with its link to the
// settings; and, without an archive, no section and no failed request.
// Screenshots go to the test's working folder (calendar.png, calibrate.png).
#include "archive/archive.h"
#include "devtools_page.h"
#include "http_client.h"
#include "page_fixture.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <iostream>

namespace {

// A year of minutes with spells of clear and cloudy weather, a season's
// ambient and a sky that reads 25 °C under a clear sky's baseline when clear.
void writeYear(const QString &path, const QDateTime &nowUtc)
{
    Archive archive;
    ASSERT_TRUE(archive.open(path));
    QSqlDatabase db = QSqlDatabase::database(archive.connectionName());
    db.transaction();
    QSqlQuery q(db);
    q.prepare("INSERT INTO minutes (t, n, cloudy, safe, raining, daylight, ambient_c_mean, sky_c_mean) "
              "VALUES (?, 60, ?, ?, ?, 0, ?, ?)");
    const qint64 end = nowUtc.toSecsSinceEpoch() / 60 * 60 - 600;
    for (qint64 t = end - 366 * 86400; t < end; t += 60) {
        const double day = double(t) / 86400, hour = std::fmod(day, 1) * 24;
        const bool cloudy = std::sin(day * 0.9) + std::sin(day * 0.31 + hour * 0.4) > 0.4;
        const bool raining = cloudy && std::sin(day * 2.3 + hour) > 0.93;
        const double ambient = 9 - 11 * std::cos(2 * M_PI * (day + 12) / 365.25) + 3 * std::cos(2 * M_PI * (hour - 15) / 24);
        const double clearSky = 0.7 * ambient - 21 + 0.3 * std::sin(t * 0.37);
        q.addBindValue(t);
        q.addBindValue(cloudy ? 1 : 0);
        q.addBindValue(cloudy ? 0 : 1);
        q.addBindValue(raining ? 1 : 0);
        q.addBindValue(ambient);
        q.addBindValue(cloudy ? std::min(clearSky + 14, ambient - 1) : clearSky);
        q.exec();
    }
    db.commit();
}

QString js(const char *expression)
{
    return QString::fromUtf8(expression);
}

void save(const QString &name, const QByteArray &png)
{
    QFile file(QDir::current().filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(png);
    std::cout << "screenshot: " << file.fileName().toStdString() << "\n";
}

struct Program {
    QProcess process;
    quint16 port = freeLoopbackPort();
    bool start(const QString &profile, const QString &logDir, const QStringList &archive)
    {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(TARNWICK_BINARY), QStringList{"--headless", "--simulate", "--profile", profile,
                                                                   "--log-dir", logDir, "--alpaca-port",
                                                                   QString::number(port)} + archive);
        return process.waitForStarted(5000) && QTest::qWaitFor([this] {
            return rawExchange(port, "GET /tarnwick/v1/live HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n", 1000).status == 200;
        }, 60000);
    }
    ~Program()
    {
        process.terminate();
        process.waitForFinished(10000);
    }
};

} // namespace

TEST(CalendarInBrowser, AYearOfNightsAndTheSkyFit)
{
    QTemporaryDir dir;
    const QString profile = dir.path() + "/profile.ini", archivePath = dir.path() + "/archive.sqlite";
    ASSERT_TRUE(configure(profile, "Latitude", "52.2"));
    ASSERT_TRUE(configure(profile, "Longitude", "0.12"));
    writeYear(archivePath, QDateTime::currentDateTimeUtc());
    Program program;
    ASSERT_TRUE(program.start(profile, dir.path(), {"--archive", archivePath}));

    DevToolsPage page;
    ASSERT_TRUE(page.open(QStringLiteral("http://127.0.0.1:%1/").arg(program.port), 1280, 1500)) << qPrintable(page.error());
    ASSERT_TRUE(QTest::qWaitFor([&] { return page.evaluate(js("document.querySelectorAll('#calendar rect').length")).toInt() == 365; }, 30000))
        << page.evaluate(js("document.getElementById('nights-note').textContent")).toString().toStdString();
    EXPECT_FALSE(page.evaluate(js("document.getElementById('nights').hidden")).toBool());
    // Every shade is used across a year of spells, and no night is empty.
    const QJsonArray shades = page.evaluate(js("[...new Set([...document.querySelectorAll('#calendar rect')].map(r => r.getAttribute('class')))].sort()")).toArray();
    EXPECT_EQ(shades.size(), 5) << QJsonDocument(shades).toJson().toStdString();
    EXPECT_FALSE(QJsonDocument(shades).toJson().contains("cal-none"));
    const QString tip = page.evaluate(js("document.querySelector('#calendar rect:last-of-type title').textContent")).toString();
    EXPECT_TRUE(tip.contains(" night: ") && tip.contains(" h clear of ") && tip.contains(" h safe")) << tip.toStdString();
    EXPECT_TRUE(page.evaluate(js("document.getElementById('nights-last').textContent")).toString().contains(" h dark"));
    EXPECT_NE(page.evaluate(js("document.getElementById('nights-tonight').textContent")).toString(), "–");
    save("calendar.png", page.screenshot());
    EXPECT_TRUE(page.consoleProblems().isEmpty()) << page.consoleProblems().join('\n').toStdString();

    page.evaluate(js("location.href = '/calibrate.html'"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return page.evaluate(js("!!document.querySelector('#cal-plot canvas')")).toBool(); }, 30000))
        << page.evaluate(js("document.getElementById('cal-note')?.textContent")).toString().toStdString();
    EXPECT_TRUE(page.evaluate(js("document.getElementById('cal-use').getAttribute('href')")).toString()
                    .startsWith("/settings?Sky/Corrected=True&Sky/K1="));
    EXPECT_GE(page.evaluate(js("document.querySelectorAll('#cal-bins tbody tr').length")).toInt(), 5);
    save("calibrate.png", page.screenshot());
    EXPECT_TRUE(page.consoleProblems().isEmpty()) << page.consoleProblems().join('\n').toStdString();
}

TEST(CalendarInBrowser, NoArchiveNoSectionAndNoFailedRequest)
{
    QTemporaryDir dir;
    const QString profile = dir.path() + "/profile.ini";
    ASSERT_TRUE(configure(profile, "Latitude", "52.2"));
    ASSERT_TRUE(configure(profile, "Longitude", "0.12"));
    Program program;
    ASSERT_TRUE(program.start(profile, dir.path(), {"--no-archive"}));
    DevToolsPage page;
    ASSERT_TRUE(page.open(QStringLiteral("http://127.0.0.1:%1/").arg(program.port))) << qPrintable(page.error());
    ASSERT_TRUE(QTest::qWaitFor([&] { return page.evaluate(js("document.getElementById('board').textContent")).toString() != "unknown"; }, 30000));
    QTest::qWait(1500);
    EXPECT_TRUE(page.evaluate(js("document.getElementById('nights').hidden")).toBool());
    EXPECT_EQ(page.evaluate(js("performance.getEntriesByType('resource').filter(e => e.name.includes('/nights')).length")).toInt(), 0);
    // The charts' own requests are theirs to mind; nothing of the calendar's fails.
    const QStringList calendars = page.consoleProblems().filter(QRegularExpression("nights|calendar"));
    EXPECT_TRUE(calendars.isEmpty()) << calendars.join('\n').toStdString();
}
