// One way out for notifications (the webhook, the push topic or mail) with a
// thread of its own, so a receiver that hangs holds back only its own
// messages. They leave in the order the events happened: the oldest is tried
// again with a growing pause while the newer ones wait behind it, and while
// the receiver fails a newer event of a group replaces an older one of that
// group still waiting (the receiver then learns the state as it is, counting
// the one it never got).
#pragma once

#include "notify/notify_event.h"

#include <QDeadlineTimer>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

struct NotifyTiming {
    int firstRetryMs = 15000; // doubled after every failure
    int longestRetryMs = 10 * 60 * 1000;
    int attempts = 8; // the first and seven more, over about an hour
    int timeoutMs = 30000;
};

class NotifyChannel {
public:
    // One delivery of the event; empty on success, else why it failed. abort
    // set: end at once. Runs on the channel's thread.
    using Transfer = std::function<QString(const NotifyEvent &e, const std::atomic<bool> &abort)>;
    // Runs on the channel's thread.
    using Report = std::function<void(const QString &text)>;

    NotifyChannel(QString name, Transfer transfer, NotifyTiming timing, Report report);
    // Ends a transfer under way and waits for it about a second at most.
    ~NotifyChannel();

    // Queues the event behind the ones waiting; returns at once.
    void post(NotifyEvent e);

    // Stopping, in three steps so that several channels share one deadline:
    // no more events or retries are taken (retries waiting are dropped)...
    void stopTaking();
    // ...the queue has until the deadline for its attempts...
    void drain(const QDeadlineTimer &deadline);
    // ...then a transfer under way is ended (libcurl looks at the flag at
    // least once a second)...
    void abort();
    // ...and a thread that has not ended by the deadline is left to end by
    // itself (it holds what it uses).
    void leave(const QDeadlineTimer &deadline);

    int attempts() const;
    int delivered() const;

private:
    struct State;
    static void run(const std::shared_ptr<State> &s);
    std::shared_ptr<State> m_state;
};
