#include "notify/notify_sender.h"
#include "notify/notify_logging.h"

#include <algorithm>
#include <mutex>

Q_LOGGING_CATEGORY(lcNotify, "tarnwick.notify", QtInfoMsg)

// Carries a channel's report to the sender's thread; cut when the sender goes,
// so a channel thread left running at the end reports to nobody.
struct NotifySender::Relay {
    std::mutex mutex;
    NotifySender *owner = nullptr;

    void tell(const QString &text)
    {
        std::lock_guard lock(mutex);
        if (NotifySender *o = owner)
            QMetaObject::invokeMethod(o, [o, text] { if (o->m_report) o->m_report(text); }, Qt::QueuedConnection);
    }
};

namespace {
// The channel's delivery: the message made for it and sent within the limits.
NotifyChannel::Transfer transferFor(const NotifyChannels &ch, const QString &name, int timeoutMs)
{
    return [ch, name, timeoutMs](const NotifyEvent &e, const std::atomic<bool> &abort) {
        const CurlLimits limits{timeoutMs, &abort, ch.caFile};
        QString error;
        if (name == QLatin1String("e-mail"))
            error = curlMail(ch.smtp, ch.mailFrom, ch.mailTo, mailMessage(e, ch.mailFrom, ch.mailTo, e.utc), limits);
        else if (name == QLatin1String("webhook"))
            error = curlPost(ch.webhookUrl, webhookBody(e), {"Content-Type: application/json"}, limits);
        else
            error = curlPost(ch.pushUrl, eventText(e).toUtf8(),
                             {"Content-Type: text/plain; charset=utf-8", "Title: " + headerValue(eventTitle(e)),
                              "Priority: " + pushPriority(e.kind), "Tags: " + pushTags(e.kind)},
                             limits);
        qCDebug(lcNotify) << "delivery by" << name << (error.isEmpty() ? QStringLiteral("done") : error);
        return error;
    };
}
} // namespace

NotifySender::NotifySender(NotifyChannels channels, Report report, NotifyTiming timing, QObject *parent)
    : QObject(parent), m_relay(std::make_shared<Relay>()), m_report(std::move(report))
{
    m_relay->owner = this;
    QStringList names;
    if (!channels.webhookUrl.isEmpty())
        names << QStringLiteral("webhook");
    if (!channels.pushUrl.isEmpty())
        names << QStringLiteral("push topic");
    if (!channels.smtp.url.isEmpty() && !channels.mailTo.isEmpty())
        names << QStringLiteral("e-mail");
    for (const QString &name : names)
        m_channels.push_back(std::make_unique<NotifyChannel>(
            name, transferFor(channels, name, timing.timeoutMs), timing,
            [relay = m_relay](const QString &text) { relay->tell(text); }));
}

NotifySender::~NotifySender()
{
    {
        std::lock_guard lock(m_relay->mutex);
        m_relay->owner = nullptr;
    }
    finish(2000);
}

void NotifySender::send(const NotifyEvent &e)
{
    for (const auto &channel : m_channels)
        channel->post(e);
}

void NotifySender::finish(int ms)
{
    if (m_finished)
        return;
    m_finished = true;
    const QDeadlineTimer deadline(ms);
    for (const auto &channel : m_channels)
        channel->stopTaking();
    for (const auto &channel : m_channels)
        channel->drain(deadline);
    for (const auto &channel : m_channels)
        channel->abort();
    // libcurl looks at the abort flag at least once a second.
    const QDeadlineTimer grace(std::max<qint64>(deadline.remainingTime(), 1100));
    for (const auto &channel : m_channels)
        channel->leave(grace);
}

int NotifySender::attempts() const
{
    int n = 0;
    for (const auto &channel : m_channels)
        n += channel->attempts();
    return n;
}

int NotifySender::delivered() const
{
    int n = 0;
    for (const auto &channel : m_channels)
        n += channel->delivered();
    return n;
}
