// Sends notifications without ever holding the watch: each configured channel
// (webhook, push topic, mail) has a thread and an ordered queue of its own, so
// a slow or dead receiver delays only its own channel. A failed delivery is
// tried again with a growing pause; the first failure of a channel is
// reported once, and so is its recovery.
#pragma once

#include "notify/curl_transfer.h"
#include "notify/notify_channel.h"

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

struct NotifyChannels {
    QString webhookUrl; // JSON body by POST
    QString pushUrl;    // plain text by POST with Title, Priority and Tags
    SmtpAccount smtp;   // url empty: no mail
    QString mailFrom;
    QStringList mailTo;
    QString caFile; // trusted beside the system's authorities
    bool any() const { return !webhookUrl.isEmpty() || !pushUrl.isEmpty() || (!smtp.url.isEmpty() && !mailTo.isEmpty()); }
};

class NotifySender : public QObject {
    Q_OBJECT
public:
    using Report = std::function<void(const QString &)>; // called on the sender's thread

    NotifySender(NotifyChannels channels, Report report, NotifyTiming timing = {}, QObject *parent = nullptr);
    // Gives what is queued up to two seconds, then ends the transfers.
    ~NotifySender() override;

    // Returns at once.
    void send(const NotifyEvent &e);
    // Waits up to ms for the messages queued so far to have had their attempt
    // (retries waiting for their time are dropped), then ends the transfers
    // still under way; returns within ms plus about a second whatever the
    // receivers do.
    void finish(int ms);
    // Attempts made and deliveries done, over all channels (for checks).
    int attempts() const;
    int delivered() const;

private:
    struct Relay;
    std::shared_ptr<Relay> m_relay; // reports from the channels' threads, while this lives
    Report m_report;
    std::vector<std::unique_ptr<NotifyChannel>> m_channels;
    bool m_finished = false;
};
