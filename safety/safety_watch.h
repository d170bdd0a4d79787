// The running safety monitor, the feed's one judge: judges every new
// observation and board state before the feed tells anyone of it and, when
// nothing changes for a while, on a timer (so a silent board turns stale);
// publishes the verdict into the feed when it changes, and starts the
// unsafe/safe programs on a turn.
#pragma once

#include "safety/safety_monitor.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <functional>

class ProgramLauncher;
class WatchFeed;

class SafetyWatch : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;
    // Asked at every judgement, so a change of the settings holds at once.
    using Options = std::function<SafetyWatchOptions()>;

    // clock gives UTC (default: the system's).
    SafetyWatch(WatchFeed &feed, Options options, ProgramLauncher &launcher, Clock clock = {},
                QObject *parent = nullptr);
    ~SafetyWatch() override;

    // Judges now and then whenever intervalMs pass without a change of the watch.
    void start(int intervalMs = 1000);
    void judgeNow();
    // What the archive says about the minutes before this start; before start().
    void setStartupCredit(std::optional<StartupCredit> credit) { m_monitor.setStartupCredit(std::move(credit)); }

private:
    SafetyVerdict judge(const WatchStatus &status);

    WatchFeed &m_feed;
    Options m_options;
    ProgramLauncher &m_launcher;
    Clock m_clock;
    SafetyMonitor m_monitor;
    QTimer m_timer;
};
