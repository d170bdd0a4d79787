#include "safety/safety_watch.h"

#include "core/settings.h"
#include "watch/watch_status.h"
#include "station/alert_engine.h"

SafetyWatch::SafetyWatch(WatchFeed &feed, const Settings &settings, ProgramLauncher &launcher, Clock clock,
                         QObject *parent)
    : QObject(parent), m_feed(feed), m_settings(settings), m_launcher(launcher), m_clock(std::move(clock)),
      m_timer(this)
{
    if (!m_clock)
        m_clock = [] { return QDateTime::currentDateTimeUtc(); };
    m_feed.setJudge([this](const WatchStatus &status) { return judge(status); });
    connect(&m_timer, &QTimer::timeout, this, &SafetyWatch::judgeNow);
}

SafetyWatch::~SafetyWatch()
{
    m_feed.setJudge({});
}

void SafetyWatch::start(int intervalMs)
{
    judgeNow();
    m_timer.start(intervalMs);
}

void SafetyWatch::judgeNow()
{
    const SafetyVerdict verdict = judge(m_feed.status());
    if (!(verdict == m_feed.status().safety))
        m_feed.setSafety(verdict);
}

SafetyVerdict SafetyWatch::judge(const WatchStatus &status)
{
    // The timer is for a watch that stopped changing (a silent board): while
    // observations come, they do the judging and the timer never wakes us.
    if (m_timer.isActive())
        m_timer.start();
    const SafetyVerdict before = status.safety;
    const SafetyVerdict verdict = m_monitor.judge(status, safetyRulesFrom(m_settings), m_clock());
    // Programs run on a turn only; the first verdict after start is no turn.
    if (before.known && before.safe != verdict.safe) {
        const QString program = verdict.safe ? m_settings.SafeProgram : m_settings.UnsafeProgram;
        if (!program.trimmed().isEmpty())
            m_launcher.start(program);
    }
    return verdict;
}
