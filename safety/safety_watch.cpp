#include "safety/safety_watch.h"

#include "core/settings.h"
#include "core/watch_status.h"
#include "station/alert_engine.h"

SafetyWatch::SafetyWatch(WatchFeed &feed, const Settings &settings, ProgramLauncher &launcher, Clock clock,
                         QObject *parent)
    : QObject(parent), m_feed(feed), m_settings(settings), m_launcher(launcher), m_clock(std::move(clock)),
      m_timer(this)
{
    if (!m_clock)
        m_clock = [] { return QDateTime::currentDateTimeUtc(); };
    // The feed has no way to forget a listener; this one goes quiet with us.
    std::weak_ptr<bool> alive = m_alive;
    m_feed.listen([this, alive](const WatchStatus &, WatchFeed::Change change) {
        if (!alive.expired() && change != WatchFeed::Change::Safety)
            judgeNow();
    });
    connect(&m_timer, &QTimer::timeout, this, &SafetyWatch::judgeNow);
}

SafetyWatch::~SafetyWatch() = default;

void SafetyWatch::start(int intervalMs)
{
    judgeNow();
    m_timer.start(intervalMs);
}

void SafetyWatch::judgeNow()
{
    // The timer is for a watch that stopped changing (a silent board): while
    // observations come, they do the judging and the timer never wakes us.
    if (m_timer.isActive())
        m_timer.start();
    const SafetyVerdict before = m_feed.status().safety;
    const SafetyVerdict &now = m_monitor.judge(m_feed.status(), safetyRulesFrom(m_settings), m_clock());
    if (sameVerdict(before, now))
        return;
    const SafetyVerdict verdict = now; // the feed's listeners may judge again
    m_feed.setSafety(verdict);
    // Programs run on a turn only; the first verdict after start is no turn.
    if (!before.known || before.safe == verdict.safe)
        return;
    const QString program = verdict.safe ? m_settings.SafeProgram : m_settings.UnsafeProgram;
    if (!program.trimmed().isEmpty())
        m_launcher.start(program);
}
