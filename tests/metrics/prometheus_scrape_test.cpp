// The program as a process, scraped by a real Prometheus server on loopback:
// its query API gives our series with the values /metrics served, and a
// quantity that is no reading (temperature processing off) has no series.
#include "mqtt_peers.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTimer>
#include <QUrlQuery>
#include <gtest/gtest.h>

namespace {

QByteArray httpGet(const QUrl &url)
{
    QNetworkAccessManager net;
    QNetworkRequest request(url);
    request.setTransferTimeout(2000);
    QNetworkReply *reply = net.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    reply->deleteLater();
    return reply->error() == QNetworkReply::NoError ? reply->readAll() : QByteArray();
}

// A Prometheus server with a scrape config of its own: our endpoint every second.
class Prometheus {
public:
    quint16 port = freeLoopbackPort();

    bool start(quint16 target)
    {
        QFile config(m_dir.path() + QStringLiteral("/prometheus.yml"));
        config.open(QIODevice::WriteOnly);
        config.write(QStringLiteral("global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\n"
                                    "scrape_configs:\n  - job_name: tarnwick\n    static_configs:\n"
                                    "      - targets: ['127.0.0.1:%1']\n")
                         .arg(target).toUtf8());
        config.close();
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QStringLiteral("prometheus"),
                        {QStringLiteral("--config.file=") + config.fileName(),
                         QStringLiteral("--storage.tsdb.path=") + m_dir.path() + QStringLiteral("/data"),
                         QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(port), QStringLiteral("--log.level=warn")});
        if (!m_process.waitForStarted(3000))
            return false;
        return QTest::qWaitFor([this] { return !httpGet(url(QStringLiteral("/-/ready"))).isEmpty(); }, 10000);
    }
    // The instant vector of a query, each series' labels -> value.
    QMap<QString, double> query(const QString &promql)
    {
        QUrl u = url(QStringLiteral("/api/v1/query"));
        u.setQuery(QUrlQuery{{QStringLiteral("query"), promql}});
        const QJsonObject answer = QJsonDocument::fromJson(httpGet(u)).object();
        QMap<QString, double> out;
        for (const QJsonValue &v : answer.value(QStringLiteral("data")).toObject().value(QStringLiteral("result")).toArray()) {
            const QJsonObject metric = v.toObject().value(QStringLiteral("metric")).toObject();
            out.insert(metric.value(QStringLiteral("quantity")).toString(metric.value(QStringLiteral("__name__")).toString()),
                       v.toObject().value(QStringLiteral("value")).toArray().at(1).toString().toDouble());
        }
        return out;
    }
    QByteArray log() { return m_process.readAll(); }
    ~Prometheus()
    {
        m_process.kill();
        m_process.waitForFinished(3000);
    }

private:
    QUrl url(const QString &path) const { return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path)); }
    QTemporaryDir m_dir;
    QProcess m_process;
};

// Every value /metrics served per quantity, over the polls.
void collectReadings(const QByteArray &text, QMap<QString, QSet<double>> &seen)
{
    static const QRegularExpression line(QString::fromLatin1(R"re(^tarnwick_reading\{quantity="([a-z_]+)",[^}]*\} (\S+)$)re"),
                                         QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(QString::fromUtf8(text)); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        seen[m.captured(1)].insert(m.captured(2).toDouble());
    }
}

} // namespace

TEST(PrometheusScrape, OurSeriesWithTheServedValuesAndNoneForAQuantityThatIsNoReading)
{
    QTemporaryDir dir;
    const QString profile = dir.path() + QStringLiteral("/profile.ini");
    ASSERT_EQ(QProcess::execute(QStringLiteral(TARNWICK_BINARY), {"--profile", profile, "config", "set", "CanTemp", "False"}), 0);
    const quint16 endpoint = freeLoopbackPort();
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(TARNWICK_BINARY), {"--headless", "--simulate", "--profile", profile, "--no-archive",
                                                    "--alpaca-port", QString::number(endpoint), "--log-dir", dir.path()});
    ASSERT_TRUE(program.waitForStarted(5000));
    const auto stopProgram = qScopeGuard([&program] {
        program.kill();
        program.waitForFinished(3000);
    });
    Prometheus prometheus;
    ASSERT_TRUE(prometheus.start(endpoint)) << "prometheus (Debian package prometheus) did not start: "
                                            << prometheus.log().constData();

    const QUrl metrics(QStringLiteral("http://127.0.0.1:%1/metrics").arg(endpoint));
    QMap<QString, QSet<double>> served;
    QMap<QString, double> scraped;
    QByteArray last;
    const bool agreed = QTest::qWaitFor([&] {
        last = httpGet(metrics);
        collectReadings(last, served);
        scraped = prometheus.query(QStringLiteral("tarnwick_reading"));
        if (scraped.isEmpty() || scraped.keys() != served.keys())
            return false;
        for (auto it = scraped.constBegin(); it != scraped.constEnd(); ++it)
            if (!served.value(it.key()).contains(it.value()))
                return false;
        return true;
    }, 20000);
    ASSERT_TRUE(agreed) << "scraped " << QStringList(scraped.keys()).join(QLatin1Char(' ')).toStdString() << "\nlast served:\n"
                        << last.constData() << prometheus.log().constData();

    // The simulated board's counts and wind are readings; with temperature
    // processing off the temperatures, humidity and cloud cover are none.
    for (const char *reading : {"rain", "brightness", "wind"})
        EXPECT_TRUE(scraped.contains(QLatin1String(reading))) << reading;
    for (const char *none : {"ambient_c", "humidity_pct", "cloud_cover_pct"}) {
        EXPECT_FALSE(scraped.contains(QLatin1String(none))) << none;
        // absent() gives its one series the selector's labels.
        EXPECT_EQ(prometheus.query(QStringLiteral("absent(tarnwick_reading{quantity=\"%1\"})").arg(QLatin1String(none))),
                  (QMap<QString, double>{{QLatin1String(none), 1}}))
            << none;
    }
    EXPECT_EQ(prometheus.query(QStringLiteral("tarnwick_board_state{state=\"simulated\"}")).value(QStringLiteral("tarnwick_board_state")), 1);
    EXPECT_EQ(prometheus.query(QStringLiteral("up{job=\"tarnwick\"}")).value(QStringLiteral("up")), 1);
    EXPECT_GT(prometheus.query(QStringLiteral("tarnwick_observations_total{source=\"live\"}"))
                  .value(QStringLiteral("tarnwick_observations_total")), 0);
}
