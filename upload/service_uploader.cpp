// One extra service's sending and judging.
#include "upload/service_uploader.h"

#include "core/reentry_guard.h"

ServiceUploader::ServiceUploader(ServiceConfig config, std::function<QDateTime()> clock, QObject *parent)
    : QObject(parent)
    , m_config(std::move(config))
    , m_clock(std::move(clock))
    , m_delivery(m_clock)
{
    // Members go with the service when it moves to the watch's thread.
    m_exchange.setParent(this);
    m_timer.setParent(this);
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

void ServiceUploader::setMinuteSource(MinuteSource source, int backlogHours)
{
    if (takesLateReadings(m_config))
        m_catchUp.setSource(std::move(source));
    m_backlogHours = backlogHours;
}

void ServiceUploader::tick()
{
    if (m_busy || m_exchange.Connected() || m_exchange.waitingForConnection())
        return;
    const QDateTime now = m_clock();
    if (!m_delivery.mayTryNow())
        return;
    ReentryGuard busy(m_busy);
    // The tick comes once a second: a little early still counts as on time.
    const bool liveDue = m_latest && (!m_lastSent.isValid()
                                      || m_lastSent.msecsTo(now) >= qint64(m_config.intervalSeconds) * 1000 - 250);
    if (!liveDue) {
        // Between live reports, the outage's rows at most one per 2 s.
        if (m_catchUp.open() && (!m_lastTry.isValid() || m_lastTry.secsTo(now) >= 2))
            sendLate(now);
        return;
    }
    const ServiceRequest req = buildServiceRequest(m_config, *m_latest, now);
    m_inFlightRecord = m_latest->utc.isValid() ? m_latest->utc : now;
    m_inFlightMinute = QDateTime();
    m_lastSent = now;
    send(req, now);
}

bool ServiceUploader::sendLate(const QDateTime &now)
{
    const auto due = m_catchUp.next(now, m_backlogHours);
    m_rowsDue = due ? due->remaining : 0;
    m_delivery.setBacklog(m_rowsDue);
    if (!due)
        return false;
    m_inFlightRecord = QDateTime();
    m_inFlightMinute = due->minute;
    send(buildLateServiceRequest(m_config, due->reading), now);
    return true;
}

void ServiceUploader::send(const ServiceRequest &req, const QDateTime &now)
{
    m_lastTry = now;
    const auto port = remotePortFor(req.url);
    if (req.url.Host.isEmpty() || !port) {
        m_delivery.note({Verdict::Rejected, QStringLiteral("the address cannot be used")});
        emit stateChanged(stateLine());
        return;
    }
    m_style = req.style;
    m_exchange.setRemoteHost(req.url.Host);
    m_exchange.setRemotePort(*port);
    m_exchange.setTls(req.url.Scheme == QLatin1String("https"));
    m_exchange.run(req.text);
}

void ServiceUploader::onEnded(ExchangeEnd end, const QByteArray &reply, const QString &error)
{
    const Judgement j = judgeExchange(end, reply, error, m_style);
    const bool again = j.verdict == Verdict::Retry || j.verdict == Verdict::CredentialsRefused;
    if (m_inFlightMinute.isValid()) {
        if (!again) {
            m_catchUp.rowDone(m_inFlightMinute);
            m_rowsDue = std::max(0, m_rowsDue - 1);
        }
    } else if (m_inFlightRecord.isValid()) {
        // Without an archive a failed live record is simply superseded by the next.
        m_catchUp.liveEnded(m_inFlightRecord, j.verdict == Verdict::Accepted, j.verdict == Verdict::Retry);
    }
    m_inFlightRecord = m_inFlightMinute = QDateTime();
    m_delivery.note(j);
    m_delivery.setBacklog(m_rowsDue);
    emit stateChanged(stateLine());
}
