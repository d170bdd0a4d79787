// Sends notifications on a thread of their own, so a slow or dead receiver
// never holds the watch: each message goes to every configured channel; a
// failed delivery is tried again with a growing pause; the first failure of a
// channel is reported once, and so is its recovery.
#pragma once

#include "notify/curl_transfer.h"
#include "notify/notify_event.h"

#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>

struct NotifyChannels {
    QString webhookUrl; // JSON body by POST
    QString pushUrl;    // plain text by POST with Title, Priority and Tags
    SmtpAccount smtp;   // url empty: no mail
    QString mailFrom;
    QStringList mailTo;
    QString caFile; // trusted beside the system's authorities
    bool any() const { return !webhookUrl.isEmpty() || !pushUrl.isEmpty() || (!smtp.url.isEmpty() && !mailTo.isEmpty()); }
};

struct NotifyTiming {
    int firstRetryMs = 15000; // doubled after every failure
    int longestRetryMs = 10 * 60 * 1000;
    int attempts = 8; // the first and seven more, over about an hour
    int timeoutMs = 30000;
};

class NotifyWorker;

class NotifySender : public QObject {
    Q_OBJECT
public:
    using Report = std::function<void(const QString &)>; // called on the thread that made the sender

    NotifySender(NotifyChannels channels, Report report, NotifyTiming timing = {}, QObject *parent = nullptr);
    // Gives what is queued up to two seconds, then ends the transfers.
    ~NotifySender() override;

    // Returns at once.
    void send(const NotifyEvent &e);
    // Waits up to ms for the messages queued so far to have had their attempt
    // (retries waiting for their time are dropped), then stops the thread.
    void finish(int ms);
    // Attempts made and deliveries done, over all channels (for checks).
    int attempts() const { return m_attempts.load(); }
    int delivered() const { return m_delivered.load(); }

private:
    friend class NotifyWorker;
    NotifyChannels m_channels;
    Report m_report;
    NotifyTiming m_timing;
    QThread m_thread;
    NotifyWorker *m_worker = nullptr;
    std::atomic<bool> m_abort{false};
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_pending{0};
    std::atomic<int> m_attempts{0};
    std::atomic<int> m_delivered{0};
};
