#include "notify/notify_sender.h"
#include "notify/notify_logging.h"

#include <QDeadlineTimer>
#include <QTimer>
#include <algorithm>

Q_LOGGING_CATEGORY(lcNotify, "tarnwick.notify", QtInfoMsg)

namespace {
enum class Channel { Webhook, Push, Mail };

QString channelName(Channel c)
{
    return c == Channel::Webhook ? QStringLiteral("webhook") : c == Channel::Push ? QStringLiteral("push topic")
                                                                                  : QStringLiteral("e-mail");
}

struct Delivery {
    Channel channel;
    QByteArray payload;
    QList<QByteArray> headers;
    int attempt = 0;
};
} // namespace

// Lives on the sender's thread; every member is used there only.
class NotifyWorker : public QObject {
public:
    explicit NotifyWorker(NotifySender &owner) : m_owner(owner) {}

    void deliver(Delivery d)
    {
        const NotifyChannels &ch = m_owner.m_channels;
        const CurlLimits limits{m_owner.m_timing.timeoutMs, &m_owner.m_abort, ch.caFile};
        ++m_owner.m_attempts;
        const QString error = d.channel == Channel::Mail
                                  ? curlMail(ch.smtp, ch.mailFrom, ch.mailTo, d.payload, limits)
                                  : curlPost(d.channel == Channel::Webhook ? ch.webhookUrl : ch.pushUrl, d.payload,
                                             d.headers, limits);
        qCDebug(lcNotify) << "delivery by" << channelName(d.channel) << (error.isEmpty() ? QStringLiteral("done") : error);
        bool &failing = m_failing[int(d.channel)];
        if (error.isEmpty()) {
            ++m_owner.m_delivered;
            if (failing)
                report(QStringLiteral("Notifications by %1 are delivered again.").arg(channelName(d.channel)));
            failing = false;
        } else {
            if (!failing)
                report(QStringLiteral("A notification by %1 could not be delivered (%2); it is tried again later.")
                           .arg(channelName(d.channel), error));
            failing = true;
            if (++d.attempt < m_owner.m_timing.attempts && !m_owner.m_stopping) {
                const NotifyTiming &t = m_owner.m_timing;
                const qint64 pause = std::min<qint64>(qint64(t.firstRetryMs) << std::min(d.attempt - 1, 20), t.longestRetryMs);
                QTimer::singleShot(int(pause), this, [this, d] {
                    ++m_owner.m_pending;
                    deliver(d);
                });
            }
        }
        --m_owner.m_pending;
    }

private:
    void report(const QString &text)
    {
        NotifySender *owner = &m_owner;
        QMetaObject::invokeMethod(owner, [owner, text] { if (owner->m_report) owner->m_report(text); }, Qt::QueuedConnection);
    }

    NotifySender &m_owner;
    bool m_failing[3] = {false, false, false};
};

NotifySender::NotifySender(NotifyChannels channels, Report report, NotifyTiming timing, QObject *parent)
    : QObject(parent), m_channels(std::move(channels)), m_report(std::move(report)), m_timing(timing)
{
    m_worker = new NotifyWorker(*this);
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.setObjectName(QStringLiteral("notifications"));
    m_thread.start();
}

NotifySender::~NotifySender()
{
    finish(2000);
}

void NotifySender::send(const NotifyEvent &e)
{
    if (m_stopping)
        return;
    std::vector<Delivery> out;
    if (!m_channels.webhookUrl.isEmpty())
        out.push_back({Channel::Webhook, webhookBody(e), {"Content-Type: application/json"}});
    if (!m_channels.pushUrl.isEmpty())
        out.push_back({Channel::Push, eventText(e).toUtf8(),
                       {"Content-Type: text/plain; charset=utf-8", "Title: " + headerValue(eventTitle(e)),
                        "Priority: " + pushPriority(e.kind), "Tags: " + pushTags(e.kind)}});
    if (!m_channels.smtp.url.isEmpty() && !m_channels.mailTo.isEmpty())
        out.push_back({Channel::Mail, mailMessage(e, m_channels.mailFrom, m_channels.mailTo, e.utc), {}});
    for (Delivery &d : out) {
        ++m_pending;
        QMetaObject::invokeMethod(m_worker, [w = m_worker, d = std::move(d)] { w->deliver(d); }, Qt::QueuedConnection);
    }
}

void NotifySender::finish(int ms)
{
    if (!m_thread.isRunning())
        return;
    m_stopping = true;
    const QDeadlineTimer deadline(ms);
    while (m_pending.load() > 0 && !deadline.hasExpired())
        QThread::msleep(10);
    m_abort = true;
    m_thread.quit();
    m_thread.wait();
}
