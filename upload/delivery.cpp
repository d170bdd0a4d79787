// Judging replies and pacing the next try.
#include "upload/delivery.h"

#include <QList>
#include <algorithm>

HttpReply parseHttpReply(const QByteArray &raw)
{
    HttpReply reply;
    const qsizetype lineEnd = raw.indexOf('\n');
    const QByteArray statusLine = raw.left(lineEnd < 0 ? raw.size() : lineEnd).trimmed();
    const QList<QByteArray> words = statusLine.split(' ');
    if (words.size() >= 2 && words[0].startsWith("HTTP/"))
        reply.status = words[1].toInt();
    if (reply.status == 0)
        return reply;
    qsizetype bodyStart = raw.indexOf("\r\n\r\n");
    qsizetype skip = 4;
    const qsizetype bareLf = raw.indexOf("\n\n");
    if (bareLf >= 0 && (bodyStart < 0 || bareLf < bodyStart)) {
        bodyStart = bareLf;
        skip = 2;
    }
    if (bodyStart >= 0)
        reply.body = raw.mid(bodyStart + skip);
    return reply;
}

namespace {

QString firstLine(const QByteArray &body)
{
    const QByteArray trimmed = body.trimmed();
    const qsizetype end = trimmed.indexOf('\n');
    return QString::fromUtf8(trimmed.left(end < 0 ? trimmed.size() : end)).trimmed().left(120);
}

} // namespace

Judgement judgeReply(const QByteArray &raw, ReplyStyle style)
{
    const HttpReply reply = parseHttpReply(raw);
    const QString said = firstLine(reply.body);
    if (reply.status == 0)
        return {Verdict::Retry, QStringLiteral("no reply")};
    if (reply.status == 401 || reply.body.trimmed().startsWith("INVALIDPASSWORDID"))
        return {Verdict::CredentialsRefused, said.isEmpty() ? QStringLiteral("HTTP 401") : said};
    if (reply.status == 429)
        return {Verdict::RateLimited, QStringLiteral("HTTP 429 too many requests")};
    if (reply.status >= 500)
        return {Verdict::Retry, QStringLiteral("HTTP %1").arg(reply.status)};
    if (reply.status >= 200 && reply.status < 300) {
        if (style == ReplyStyle::StatusOnly || said.startsWith(QLatin1String("success")))
            return {Verdict::Accepted, QString()};
        return {Verdict::Rejected, said.isEmpty() ? QStringLiteral("an empty reply") : said};
    }
    return {Verdict::Rejected, QStringLiteral("HTTP %1 %2").arg(reply.status).arg(said).trimmed()};
}

Judgement judgeExchange(ExchangeEnd end, const QByteArray &raw, const QString &error, ReplyStyle style)
{
    switch (end) {
    case ExchangeEnd::Replied:
        return judgeReply(raw, style);
    case ExchangeEnd::CertificateRefused:
        return {Verdict::Rejected, error};
    case ExchangeEnd::TimedOut:
    case ExchangeEnd::Refused:
    case ExchangeEnd::Reset:
    case ExchangeEnd::Failed:
        break;
    }
    // A reply that arrived whole before the connection failed still counts.
    if (parseHttpReply(raw).status != 0)
        return judgeReply(raw, style);
    return {Verdict::Retry, error};
}

DeliveryState::DeliveryState(std::function<QDateTime()> clock)
    : m_clock(std::move(clock))
{
}

bool DeliveryState::mayTryNow() const
{
    return !m_nextTry.isValid() || m_clock() >= m_nextTry;
}

void DeliveryState::note(const Judgement &j)
{
    m_tried = true;
    m_last = j.verdict;
    m_detail = j.detail;
    const QDateTime now = m_clock();
    switch (j.verdict) {
    case Verdict::Accepted:
        m_lastAccepted = now;
        [[fallthrough]];
    case Verdict::RateLimited:
    case Verdict::Rejected:
        m_pause = 0;
        m_nextTry = QDateTime();
        break;
    case Verdict::CredentialsRefused:
        m_pause = 0;
        m_nextTry = now.addSecs(kCredentialPauseSeconds);
        break;
    case Verdict::Retry:
        m_pause = m_pause == 0 ? kFirstPauseSeconds : std::min(m_pause * 2, kLongestPauseSeconds);
        m_nextTry = now.addSecs(m_pause);
        break;
    }
}

void DeliveryState::settingsChanged()
{
    // The pause was the old address's or credentials' due.
    m_nextTry = QDateTime();
    m_pause = 0;
}

QString DeliveryState::stateText() const
{
    if (!m_tried)
        return QStringLiteral("waiting for the first report");
    switch (m_last) {
    case Verdict::CredentialsRefused:
        return QStringLiteral("credentials refused");
    case Verdict::RateLimited:
        return QStringLiteral("too many requests: record dropped");
    case Verdict::Rejected:
        return QStringLiteral("refused: ") + m_detail;
    case Verdict::Retry: {
        const qint64 left = std::max<qint64>(0, m_clock().secsTo(m_nextTry));
        return QStringLiteral("retrying in %1 s").arg(left);
    }
    case Verdict::Accepted:
        break;
    }
    if (m_backlog > 0)
        return QStringLiteral("catching up %1 rows").arg(m_backlog);
    return QStringLiteral("sent ") + m_lastAccepted.toLocalTime().toString(QStringLiteral("HH:mm:ss"));
}
