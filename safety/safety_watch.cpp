#include "safety/safety_watch.h"

#include "watch/watch_status.h"
#include "station/alert_engine.h"

SafetyWatch::SafetyWatch(WatchFeed &feed, Options options, ProgramLauncher &launcher, Clock clock, QObject *parent)
    : QObject(parent), m_feed(feed), m_options(std::move(options)), m_launcher(launcher), m_clock(std::move(clock)),
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
    const SafetyWatchOptions options = m_options();
    const SafetyVerdict verdict = m_monitor.judge(status, options.rules, m_clock());
    // Programs run on a turn only; the first verdict after start is no turn.
    if (before.known && before.safe != verdict.safe) {
        const QString &program = verdict.safe ? options.safeProgram : options.unsafeProgram;
        if (!program.trimmed().isEmpty())
            m_launcher.start(program);
    }
    return verdict;
}
