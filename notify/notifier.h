// Turns what happens to the watch into notifications: safety turns, the board
// lost, silent or back, uploads failing for 10 minutes or working again,
// archive and log writes failing, the program started and stopping. Applies
// the rate limit per group and hands the messages to the sender.
#pragma once

#include "watch/watch_status.h"
#include "notify/notify_sender.h"
#include "notify/rate_limit.h"

#include <QObject>
#include <QTimer>
#include <memory>

struct Settings;

// The channels as the settings give them.
NotifyChannels notifyChannels(const Settings &settings);

class Notifier : public QObject {
public:
    using Clock = std::function<QDateTime()>; // UTC

    // Listens to feed from now on; the rate limit is read from the settings
    // at every event. Without clock, the system's.
    Notifier(WatchFeed &feed, const Settings &settings, std::unique_ptr<NotifySender> sender, Clock clock = {},
             QObject *parent = nullptr);
    // Sends "stopping" when it was not sent yet, and gives it a moment to go out.
    ~Notifier() override;

    void programStarted();
    void programStopping();
    // Every upload's outcome: failing for uploadFailMinutes turns into one
    // message, the next success after it into another.
    void uploadResult(bool ok, const QString &reason);
    void archiveWriteFailed(const QString &reason);
    void logWriteFailed(const QString &reason);

    // Held messages whose time has come, and the upload's 10 minutes; a timer
    // calls it every second.
    void checkDue();
    NotifySender &sender() { return *m_sender; }

    static constexpr int uploadFailMinutes = 10;

private:
    static bool startingUp(const WatchStatus &status);
    void onWatch(const WatchStatus &status, WatchFeed::Change change);
    void onBoard(const BoardStatus &board);
    void raise(NotifyKind kind, const QString &summary, const QStringList &reasons = {});

    WatchFeed &m_feed;
    const Settings &m_settings;
    std::unique_ptr<NotifySender> m_sender;
    Clock m_clock;
    NotifyRateLimit m_limit;
    QTimer m_timer;
    // The last verdict seen; the first one after the start-up is the start's
    // state, not a turn (and takes no place in the rate limit).
    bool m_verdictKnown = false;
    bool m_safe = false;
    BoardState m_board = BoardState::Searching;
    bool m_boardDown = false; // a lost/silent/absent message went out since the board last delivered
    QDateTime m_uploadFailingSince;
    QString m_uploadReason;
    bool m_uploadFailNotified = false;
    bool m_stopSent = false;
    WatchFeed::ListenerId m_listening = 0; // the feed outlives this
};
