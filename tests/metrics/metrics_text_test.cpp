// The metrics text from a watch status: a line per current reading and none
// for a quantity that is no reading, the verdict, the board and the counts;
// and the route's methods.
#include "metrics/metrics_text.h"
#include "observation_fixture.h"

#include <QMap>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {
const QDateTime kNow = QDateTime(QDate(2026, 12, 7), QTime(22, 0), Qt::UTC);

// A live board, read 2.5 s ago, with temperature processing off: no
// temperature, humidity, sky or cloud reading.
WatchStatus processingOff()
{
    Observation o;
    o.utc = kNow.addMSecs(-2500);
    o.ambientC = -99;
    o.rainReading = 2180;
    o.skyBrightness = 9300;
    o.windCurrent = 3.5;
    o.windAverage = 2.25;
    o.windGust = 7.75;
    o = withReadings(o);
    clearTemperatureReadings(o);
    WatchStatus s;
    s.board.state = BoardState::Live;
    s.board.lastRecord = o.utc;
    s.latest = o;
    s.lastLive = o;
    s.safety = {true, false, {{QStringLiteral("clouds"), QStringLiteral("Sky not measured"), kNow}}, kNow};
    return s;
}

// Each sample as "name{labels}" -> value; every family announced by HELP and
// TYPE before its first sample.
QMap<QString, double> samples(const QByteArray &text)
{
    static const QRegularExpression sample(QStringLiteral(R"(^([a-z_]+)(\{[^}]*\})? (\S+)$)"));
    QMap<QString, double> out;
    QStringList typed;
    EXPECT_TRUE(text.endsWith('\n'));
    for (const QString &line : QString::fromUtf8(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1String("# TYPE ")))
            typed << line.section(QLatin1Char(' '), 2, 2);
        if (line.startsWith(QLatin1Char('#')))
            continue;
        const QRegularExpressionMatch m = sample.match(line);
        EXPECT_TRUE(m.hasMatch()) << qPrintable(line);
        EXPECT_TRUE(typed.contains(m.captured(1))) << qPrintable(line);
        bool ok = false;
        out.insert(m.captured(1) + m.captured(2), m.captured(3).toDouble(&ok));
        EXPECT_TRUE(ok) << qPrintable(line);
    }
    return out;
}

QString readingKey(const QuantityInfo &q)
{
    return QStringLiteral("tarnwick_reading{quantity=\"%1\",unit=\"%2\"}").arg(QLatin1String(q.key), QString::fromUtf8(q.unit));
}
} // namespace

TEST(MetricsText, ALineForEachReadingAndNoneForAQuantityThatIsNoReading)
{
    const WatchStatus s = processingOff();
    MetricsCounters counters;
    counters.countObservation(ObservationSource::Live);
    counters.countObservation(ObservationSource::Live);
    counters.countObservation(ObservationSource::TestRecord);
    const QMap<QString, double> m = samples(metricsText(s, kNow, 30, counters, {}));
    int present = 0;
    for (const QuantityInfo &q : quantities()) {
        const std::optional<double> v = s.lastLive->readings[q.quantity];
        ASSERT_EQ(m.contains(readingKey(q)), v.has_value()) << q.key;
        if (v) {
            EXPECT_DOUBLE_EQ(m.value(readingKey(q)), *v) << q.key;
            ++present;
        }
    }
    EXPECT_EQ(present, 5); // rain, brightness, wind, wind average, gust
    EXPECT_FALSE(m.contains(QStringLiteral("tarnwick_sky_class{class=\"clear\"}")));
    EXPECT_EQ(m.value(QStringLiteral("tarnwick_safety_known")), 1);
    EXPECT_EQ(m.value(QStringLiteral("tarnwick_safe")), 0);
    EXPECT_EQ(m.value(QStringLiteral("tarnwick_unsafe_condition{condition=\"clouds\"}")), 1);
    EXPECT_EQ(m.value(QStringLiteral("tarnwick_board_state{state=\"live\"}")), 1);
    EXPECT_EQ(m.value(QStringLiteral("tarnwick_board_state{state=\"lost\"}")), 0);
    EXPECT_DOUBLE_EQ(m.value(QStringLiteral("tarnwick_observation_age_seconds")), 2.5);
    EXPECT_EQ(m.value(QStringLiteral("tarnwick_observations_total{source=\"live\"}")), 2);
    EXPECT_EQ(m.value(QStringLiteral("tarnwick_observations_total{source=\"test_record\"}")), 1);
    EXPECT_EQ(m.value(QStringLiteral("tarnwick_observations_total{source=\"stale\"}")), 0);
    // Modules that are off say nothing.
    for (const char *off : {"tarnwick_mqtt_connected", "tarnwick_archive_failing", "tarnwick_notify_attempts_total",
                            "tarnwick_upload_reports_total{result=\"failed\"}"})
        EXPECT_FALSE(m.contains(QLatin1String(off))) << off;
}

TEST(MetricsText, NoReadingOnceTheBoardIsLostOrItsRecordStaleAndNoVerdictBeforeTheFirst)
{
    struct Case {
        const char *name;
        std::function<void(WatchStatus &)> change;
        int staleAfter;
    };
    const Case cases[] = {
        {"lost", [](WatchStatus &s) { s.board.state = BoardState::Lost; }, 30},
        {"stale", [](WatchStatus &) {}, 2},
    };
    for (const Case &c : cases) {
        WatchStatus s = processingOff();
        s.safety = {};
        c.change(s);
        const QMap<QString, double> m = samples(metricsText(s, kNow, c.staleAfter, MetricsCounters{}, {}));
        for (const QString &key : m.keys())
            EXPECT_FALSE(key.startsWith(QLatin1String("tarnwick_reading"))) << c.name << ' ' << qPrintable(key);
        EXPECT_EQ(m.value(QStringLiteral("tarnwick_safety_known"), -1), 0) << c.name;
        EXPECT_FALSE(m.contains(QStringLiteral("tarnwick_safe"))) << c.name;
        EXPECT_TRUE(m.contains(QStringLiteral("tarnwick_observation_age_seconds"))) << c.name;
    }
}

TEST(MetricsText, SkyClassAndModuleHealthWhenThere)
{
    WatchStatus s = processingOff();
    s.lastLive = withReadings(*s.lastLive, 40);
    s.lastLive->readings.sky = SkyClass::PartlyCloudy;
    MetricsCounters counters;
    counters.countUpload(true);
    counters.countUpload(false);
    counters.countUpload(false);
    MetricsHealth health{true, false, MetricsHealth::Notify{5, 3}, true};
    const QMap<QString, double> m = samples(metricsText(s, kNow, 30, counters, health));
    EXPECT_EQ(m.value(readingKey(quantityInfo(Quantity::CloudCover))), 40);
    EXPECT_EQ(m.value(QStringLiteral("tarnwick_sky_class{class=\"partly cloudy\"}")), 1);
    EXPECT_EQ(m.value(QStringLiteral("tarnwick_sky_class{class=\"clear\"}"), -1), 0);
    EXPECT_EQ(m.value(QStringLiteral("tarnwick_upload_reports_total{result=\"accepted\"}")), 1);
    EXPECT_EQ(m.value(QStringLiteral("tarnwick_upload_reports_total{result=\"failed\"}")), 2);
    EXPECT_EQ(m.value(QStringLiteral("tarnwick_mqtt_connected")), 1);
    EXPECT_EQ(m.value(QStringLiteral("tarnwick_archive_failing"), -1), 0);
    EXPECT_EQ(m.value(QStringLiteral("tarnwick_notify_attempts_total")), 5);
    EXPECT_EQ(m.value(QStringLiteral("tarnwick_notify_delivered_total")), 3);
}

TEST(MetricsRoute, GetAndHeadOnlyAndNothingUnderIt)
{
    const auto text = [] { return QByteArray("x 1\n"); };
    struct Case {
        QByteArray method;
        QString path;
        int status;
    };
    for (const Case &c : {Case{"GET", "/metrics", 200}, Case{"HEAD", "/metrics", 200}, Case{"POST", "/metrics", 405},
                          Case{"PUT", "/metrics", 405}, Case{"GET", "/metrics/x", 404}}) {
        const HttpRouteReply r = answerMetrics({c.method, c.path, {}, {}}, text);
        EXPECT_EQ(r.status, c.status) << c.method.constData() << ' ' << qPrintable(c.path);
        if (r.status == 200)
            EXPECT_EQ(r.contentType, QByteArray("text/plain; version=0.0.4; charset=utf-8"));
    }
}
