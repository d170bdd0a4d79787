// The page in a real browser: headless Chromium, driven over DevTools, shows
// the program that reads a board on a pseudo-terminal. The values it shows are
// the ones served, today's high and low are the archive's, the unit switch
// changes every tile and is remembered, a pulled board greys the tiles within
// StaleAfterSeconds + 5 s, and the console stays free of errors.
#include "archive/archive.h"
#include "archive/archive_day.h"
#include "archive/archive_query.h"
#include "devtools_page.h"
#include "http_client.h"
#include "page_fixture.h"
#include "station/board_simulator.h"
#include "../archive/archive_fixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <csignal>
#include <iostream>
#include <cmath>
#include <QJsonArray>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr int kStaleAfterSeconds = 3;

QDateTime localMidnightUtc(const QDateTime &nowUtc)
{
    return QDateTime(nowUtc.toLocalTime().date(), QTime(0, 0)).toUTC();
}

// A quarter of an hour of earlier rows today with a warm first minute, so the
// day's high is one the board never gave in this run.
void archiveEarlierRows(const QString &path, const QDateTime &nowUtc)
{
    Archive archive;
    archive.setRetentionDays(100000);
    ASSERT_TRUE(archive.open(path));
    const qint64 start = std::max(localMidnightUtc(nowUtc).toSecsSinceEpoch() + 60, nowUtc.toSecsSinceEpoch() - 15 * 60) / 60 * 60;
    for (qint64 t = start; t < nowUtc.toSecsSinceEpoch() - 120; t += 10)
        archive.add(observationAt(QDateTime::fromSecsSinceEpoch(t, Qt::UTC), t - start < 60 ? 31.7 : 18), simulatedBoard(), {});
}

QString js(const char *expression)
{
    return QString::fromUtf8(expression);
}

} // namespace

TEST(WebPageInBrowser, StaleTodayUnitsAndACleanConsole)
{
    QTemporaryDir dir;
    const QString profile = dir.path() + "/profile.ini", archivePath = dir.path() + "/archive.sqlite";
    ASSERT_TRUE(configure(profile, "StaleAfterSeconds", QString::number(kStaleAfterSeconds)));
    ASSERT_TRUE(configure(profile, "Latitude", "52.2"));
    ASSERT_TRUE(configure(profile, "Longitude", "0.12"));
    archiveEarlierRows(archivePath, QDateTime::currentDateTimeUtc());

    auto board = std::make_unique<BoardSimulator>(7);
    ASSERT_TRUE(board->start()) << qPrintable(board->errorText());
    const quint16 port = freeLoopbackPort();
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(TARNWICK_BINARY),
                  {"--headless", "--serial-device", board->slavePath(), "--profile", profile, "--log-dir", dir.path(),
                   "--archive", archivePath, "--alpaca-port", QString::number(port)});
    ASSERT_TRUE(program.waitForStarted(5000));
    auto live = [port] {
        return rawExchange(port, "GET /tarnwick/v1/live HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n", 1000).json();
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return live()["observation"].isObject(); }, 60000)) << "no live reading served";

    DevToolsPage page;
    ASSERT_TRUE(page.open(QStringLiteral("http://127.0.0.1:%1/").arg(port))) << qPrintable(page.error());
    ASSERT_TRUE(QTest::qWaitFor([&] { return page.evaluate(js("document.getElementById('now').dataset.time")).toString() != ""; }, 15000));
    EXPECT_EQ(page.evaluate(js("document.getElementById('board').textContent")).toString(), "live");
    EXPECT_FALSE(page.evaluate(js("document.getElementById('now').classList.contains('stale')")).toBool());
    EXPECT_FALSE(page.evaluate(js("document.getElementById('night-panel').hidden")).toBool());

    // Today's high and low are the archive's own (read here from the file).
    const auto shownToday = [&](const char *which) {
        bool ok = false;
        const double v = page.evaluate(QStringLiteral("document.querySelector('#today tr[data-key=ambient_c] .%1').dataset.value").arg(which)).toString().toDouble(&ok);
        return ok ? v : NAN;
    };
    ArchiveReader reader;
    QString error;
    ASSERT_TRUE(reader.open(archivePath, error)) << qPrintable(error);
    DayExtreme archived;
    const bool same = QTest::qWaitFor([&] {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        archived = dayExtreme(queryMinutes(reader.database(), localMidnightUtc(now), now), ArchiveValue::Ambient);
        // The JSON carries two decimals.
        return std::abs(shownToday("high") - archived.high) < 0.006 && std::abs(shownToday("low") - archived.low) < 0.006;
    }, 15000);
    EXPECT_TRUE(same) << "page " << shownToday("high") << "/" << shownToday("low")
                      << ", archive " << archived.high << "/" << archived.low;
    EXPECT_DOUBLE_EQ(archived.high, 31.7);

    // On a phone the page fits its width: nothing scrolls sideways.
    page.setViewport(390, 844, true);
    QTest::qWait(300);
    EXPECT_LE(page.evaluate(js("document.documentElement.scrollWidth")).toInt(), 390);
    page.setViewport(1280, 900, false);

    // The unit switch changes every tile with a unit, and the browser keeps it.
    const char *tiles = "[...document.querySelectorAll('#now .value[data-kind], #today tr:not([data-kind=pct]) td.high')].map(e => e.textContent)";
    const QJsonArray before = page.evaluate(js(tiles)).toArray();
    page.evaluate(js("document.querySelector('[data-kind=temp] [data-unit=F]').click(); document.querySelector('[data-kind=wind] [data-unit=kmh]').click()"));
    const QJsonArray after = page.evaluate(js(tiles)).toArray();
    ASSERT_EQ(before.size(), after.size());
    ASSERT_GE(after.size(), 10);
    for (int i = 0; i < after.size(); ++i) {
        const QString b = before[i].toString(), a = after[i].toString();
        if (a != "–") {
            EXPECT_NE(a, b) << i;
        }
        EXPECT_TRUE(a.contains("°F") || a.contains("km/h") || a == "–") << a.toStdString();
    }
    ASSERT_TRUE(page.reload());
    EXPECT_TRUE(QTest::qWaitFor([&] { return page.evaluate(js("document.getElementById('v-ambient_c').textContent")).toString().endsWith("°F"); }, 10000));

    // The board is pulled out: greyed tiles and the time of the values.
    board.reset();
    QElapsedTimer sincePulled;
    sincePulled.start();
    const char *staleLine = "document.getElementById('now').classList.contains('stale') && !document.getElementById('stale').hidden"
                            " ? document.getElementById('stale').textContent : ''";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !page.evaluate(js(staleLine)).toString().isEmpty(); }, 20000)) << "never shown as stale";
    EXPECT_LE(sincePulled.elapsed(), (kStaleAfterSeconds + 5) * 1000);
    const QString line = page.evaluate(js(staleLine)).toString();
    EXPECT_TRUE(line.startsWith("values from ") && line.contains(" — board ")) << line.toStdString();

    EXPECT_GT(page.evaluate(js("document.getElementById('chart-temps').dataset.points")).toString().toInt(), 0);
    EXPECT_TRUE(page.evaluate(js("!!document.querySelector('#chart-temps canvas')")).toBool());
    EXPECT_TRUE(page.consoleProblems().isEmpty()) << page.consoleProblems().join('\n').toStdString();
    program.terminate();
    EXPECT_TRUE(program.waitForFinished(10000));
}

namespace {
// The verdict box, the tab's title and the reason line, as one text.
const char *kShown = "document.getElementById('safety').className + ' | ' + document.getElementById('verdict').textContent"
                     " + ' | ' + document.title + ' | ' + (document.getElementById('stale').hidden ? '' :"
                     " document.getElementById('stale').textContent) + ' | ' + document.getElementById('now').className";

bool showsSafe(const QString &shown)
{
    return shown.contains(QLatin1String("verdict safe")) || shown.contains(QLatin1String("| Safe"));
}
} // namespace

// A program killed (SIGKILL) or hung (SIGSTOP) leaves no "Safe" on the page:
// within StaleAfterSeconds + 5 s it says since when there was no answer,
// greys the values and knows no verdict, in the box and in the tab, and the
// once-a-second age line does not take that back.
TEST(WebPageInBrowser, NoSafeFromAProgramThatStoppedOrHangs)
{
    QTemporaryDir dir;
    const QString profile = dir.path() + "/profile.ini", control = dir.path() + "/control";
    QFile sky(control);
    ASSERT_TRUE(sky.open(QIODevice::WriteOnly) && sky.write("rain=0\ncloud=0\nwind=0\n") > 0);
    sky.close();
    for (const auto &[key, value] : {std::pair{"StaleAfterSeconds", QString::number(kStaleAfterSeconds)},
                                     {"Safety/SafeDelayMinutes", QString("0")}, {"Safety/UnsafeInDaylight", QString("False")}})
        ASSERT_TRUE(configure(profile, key, value)) << key;
    const quint16 port = freeLoopbackPort();
    auto start = [&](QProcess &program) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TARNWICK_SIMULATOR_CONTROL", control);
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(TARNWICK_BINARY), {"--headless", "--simulate", "--profile", profile, "--log-dir",
                                                        dir.path(), "--no-archive", "--alpaca-port", QString::number(port)});
        return program.waitForStarted(5000);
    };
    QProcess program;
    ASSERT_TRUE(start(program));
    DevToolsPage page;
    ASSERT_TRUE(page.open(QStringLiteral("http://127.0.0.1:%1/").arg(port))) << qPrintable(page.error());
    auto shown = [&] { return page.evaluate(js(kShown)).toString(); };

    for (const int signal : {SIGSTOP, SIGKILL}) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return showsSafe(shown()); }, 60000)) << qPrintable(shown());
        QTest::qWait(500);
        ASSERT_EQ(::kill(program.processId(), signal), 0);
        QElapsedTimer since;
        since.start();
        const auto silent = [&] { const QString s = shown(); return !showsSafe(s) && s.contains("No answer from Tarnwick since "); };
        ASSERT_TRUE(QTest::qWaitFor(silent, 20000)) << qPrintable(shown());
        const qint64 took = since.elapsed();
        std::cout << (signal == SIGSTOP ? "stopped" : "killed") << ": no Safe after " << took << " ms\n";
        EXPECT_LE(took, (kStaleAfterSeconds + 5) * 1000);
        // It stays so through the age updates and the next requests.
        for (int i = 0; i < 12; ++i) {
            QTest::qWait(250);
            const QString s = shown();
            EXPECT_TRUE(s.contains("verdict unknown | Unknown | Unknown · ") && s.contains("No answer from Tarnwick since ")
                        && s.endsWith("| stale")) << qPrintable(s);
        }
        EXPECT_TRUE(page.evaluate(js("document.getElementById('icon').href")).toString().contains("9ca3af"));
        if (signal == SIGSTOP) {
            QFile shot(QDir::temp().filePath("tarnwick-page-no-answer.png"));
            if (shot.open(QIODevice::WriteOnly))
                shot.write(page.screenshot());
            ::kill(program.processId(), SIGCONT);
        }
    }
    program.waitForFinished(5000);
    // Back again: the page takes the program's verdict again.
    QProcess again;
    ASSERT_TRUE(start(again));
    EXPECT_TRUE(QTest::qWaitFor([&] { return showsSafe(shown()) && !shown().contains("No answer"); }, 60000)) << qPrintable(shown());
    again.terminate();
    EXPECT_TRUE(again.waitForFinished(10000));
}
