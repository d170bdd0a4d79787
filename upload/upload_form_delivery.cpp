// What the form does with a report once it is on its way: the reply is judged,
// a record worth another try waits its pause in the queue, and the queue is
// sent oldest first, paced, without the real-time fields.
#include "upload/upload_form.h"

#include <QScopeGuard>

#include "core/reentry_guard.h"
#include "core/settings.h"
#include "upload/url_helper.h"
#include "upload/upload_logging.h"

Q_LOGGING_CATEGORY(lcUpload, "tarnwick.upload", QtInfoMsg)

namespace {
// Enough for the backlog at the shortest report period (5 s) and then some.
constexpr size_t kMaxPending = 6000;
} // namespace

Observation UploadForm::noReadings()
{
    return Observation{}; // its readings are empty
}

bool UploadForm::aimExchange(const UrlParts &url)
{
    m_exchange.setRemoteHost(url.Host);
    m_exchange.setTls(url.Scheme == QLatin1String("https"));
    m_exchange.setExtraCaFile(m_caFile);
    const auto port = remotePortFor(url);
    if (port)
        m_exchange.setRemotePort(*port);
    return port.has_value();
}

void UploadForm::sendReading(const PwsReading &reading, const UrlParts &url)
{
    // The copy on show carries no password; the server gets the real one.
    PwsReading shown = reading;
    shown.password = QStringLiteral("********");
    m_request = ::requestText(url.Host, requestTarget(url, UploadQuery(shown)), m_headers);
    emit requestChanged(m_request);
    m_inFlight = reading;
    m_lastTry = m_utcClock();
    const QString request = ::requestText(url.Host, requestTarget(url, UploadQuery(reading)), m_headers);
    qCDebug(lcUpload) << "sending a report to" << url.Host;
    m_exchange.run(request.toUtf8());
}

void UploadForm::queueForRetry(PwsReading reading)
{
    reading.realtime = false;
    m_pending.push_back(reading);
    while (m_pending.size() > kMaxPending)
        m_pending.pop_front();
    m_delivery.setBacklog(rowsDue());
}

void UploadForm::dropExpired()
{
    const QDateTime oldest = m_utcClock().addSecs(-qint64(m_backlogHours) * 3600);
    while (!m_pending.empty() && m_pending.front().utc < oldest)
        m_pending.pop_front();
    m_delivery.setBacklog(rowsDue());
}

void UploadForm::onExchangeEnded(ExchangeEnd end, const QByteArray &reply, const QString &error)
{
    if (!m_inFlight)
        return;
    const PwsReading record = *m_inFlight;
    m_inFlight.reset();
    const Judgement j = judgeExchange(end, reply, error, ReplyStyle::PwsBody);
    qCDebug(lcUpload) << "exchange ended:" << int(j.verdict) << error;
    const bool again = j.verdict == Verdict::Retry || j.verdict == Verdict::CredentialsRefused;
    switch (m_inFlightOrigin) {
    case Origin::Minute:
        if (!again) {
            m_catchUp.rowDone(m_inFlightMinute);
            m_rowsDue = std::max(0, m_rowsDue - 1);
        }
        break;
    case Origin::Queue:
        if (!again && !m_pending.empty())
            m_pending.pop_front();
        break;
    case Origin::Live:
        if (!m_catchUp.liveEnded(record.utc, j.verdict == Verdict::Accepted, j.verdict == Verdict::Retry))
            queueForRetry(record);
        break;
    }
    m_delivery.note(j);
    m_delivery.setBacklog(rowsDue());
    if (j.verdict == Verdict::Accepted)
        emit delivered(true, {});
    else if (j.verdict != Verdict::RateLimited)
        emit delivered(false, j.detail.isEmpty() ? error : j.detail);

    // Socket failures already have their line; a reply that says no gets one
    // (any other refusal shows in the state).
    if (end == ExchangeEnd::Replied) {
        QString line;
        if (j.verdict == Verdict::CredentialsRefused)
            line = QStringLiteral("credentials refused: ") + j.detail;
        else if (j.verdict == Verdict::RateLimited)
            line = QStringLiteral("too many requests: the record is dropped");
        else if (j.verdict == Verdict::Retry)
            line = j.detail + QStringLiteral(": the record is tried again later");
        if (!line.isEmpty())
            appendError(errorLine(QDateTime::currentDateTime(), line));
    }
    keepRetryTimer();
    emit stateChanged(stateText());
}

void UploadForm::keepRetryTimer()
{
    // A second's tick for late records, the catch-up and a retry's countdown;
    // with none of them it would wake the thread each second for nothing.
    const bool needed = !m_pending.empty() || m_catchUp.open() || m_delivery.last() == Verdict::Retry;
    if (needed && !m_retryTimer.isActive())
        m_retryTimer.start();
    else if (!needed && m_retryTimer.isActive())
        m_retryTimer.stop();
}

int UploadForm::rowsDue() const
{
    return m_rowsDue + static_cast<int>(m_pending.size());
}

void UploadForm::retryDue()
{
    const bool waiting = !m_pending.empty() || m_catchUp.open();
    if (m_delivery.last() == Verdict::Retry || waiting)
        emit stateChanged(stateText()); // the countdown moves
    const auto settle = qScopeGuard([this] { keepRetryTimer(); });
    if (!waiting || m_sending || m_exchange.Connected() || m_exchange.waitingForConnection())
        return;
    if (!m_loaded || m_settings.g_bAllow_PWS != 1)
        return;
    dropExpired();
    const QDateTime now = m_utcClock();
    if (!m_delivery.mayTryNow())
        return;
    if (m_lastTry.isValid() && m_lastTry.secsTo(now) < kCatchUpSpacingSeconds)
        return;
    const UrlParts url = SplitUrl(m_url);
    if (url.Host.isEmpty() || !aimExchange(url))
        return;
    ReentryGuard sending(m_sending);
    sendLate(url);
}

bool UploadForm::sendLate(const UrlParts &url)
{
    PwsReading record;
    m_rowsDue = 0;
    if (const auto due = m_catchUp.next(m_utcClock(), m_backlogHours)) {
        record = due->reading;
        m_rowsDue = due->remaining;
        m_inFlightMinute = due->minute;
        m_inFlightOrigin = Origin::Minute;
    } else if (!m_pending.empty()) {
        record = m_pending.front();
        m_inFlightOrigin = Origin::Queue;
    } else {
        m_delivery.setBacklog(0);
        return false;
    }
    m_delivery.setBacklog(rowsDue());
    record.stationId = variableName(0); // the credentials as they stand now
    record.password = variableValue(0);
    sendReading(record, url);
    return true;
}

void UploadForm::settingsChanged()
{
    if (m_loading)
        return;
    m_delivery.settingsChanged();
    emit stateChanged(stateText());
}
