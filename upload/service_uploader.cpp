// One extra service's sending and judging.
#include "upload/service_uploader.h"

#include "core/reentry_guard.h"

ServiceUploader::ServiceUploader(ServiceConfig config, std::function<QDateTime()> clock, QObject *parent)
    : QObject(parent)
    , m_config(std::move(config))
    , m_clock(std::move(clock))
    , m_delivery(m_clock)
{
    // A service must not hold the station for long: a short wait for the connection.
    m_exchange.setConnectTimeoutMs(5000);
    m_exchange.setReplyTimeoutMs(15000);
    connect(&m_exchange, &HttpExchange::ended, this, &ServiceUploader::onEnded);
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &ServiceUploader::tick);
}

QString ServiceUploader::stateLine() const
{
    return m_config.name + QStringLiteral(": ") + m_delivery.stateText();
}

void ServiceUploader::tick()
{
    if (m_busy || !m_latest || m_exchange.Connected() || m_exchange.waitingForConnection())
        return;
    const QDateTime now = m_clock();
    // The tick comes once a second: a little early still counts as on time.
    if (m_lastSent.isValid() && m_lastSent.msecsTo(now) < qint64(m_config.intervalSeconds) * 1000 - 250)
        return;
    if (!m_delivery.mayTryNow())
        return;
    ReentryGuard busy(m_busy);
    const ServiceRequest req = buildServiceRequest(m_config, *m_latest, now);
    const auto port = remotePortFor(req.url);
    if (req.url.Host.isEmpty() || !port) {
        m_delivery.note({Verdict::Rejected, QStringLiteral("the address cannot be used")});
        m_lastSent = now;
        emit stateChanged(stateLine());
        return;
    }
    m_style = req.style;
    m_exchange.setRemoteHost(req.url.Host);
    m_exchange.setRemotePort(*port);
    m_exchange.setTls(req.url.Scheme == QLatin1String("https"));
    m_lastSent = now;
    m_exchange.run(req.text);
}

void ServiceUploader::onEnded(ExchangeEnd end, const QByteArray &reply, const QString &error)
{
    m_delivery.note(judgeExchange(end, reply, error, m_style));
    emit stateChanged(stateLine());
}
