#include "safety/safety_monitor.h"

#include "core/settings.h"

#include <algorithm>

namespace {
const char *const kOrder[] = {"board", "rain", "clouds", "wind", "daylight"};

int rank(const QString &name)
{
    for (int i = 0; i < int(std::size(kOrder)); ++i)
        if (name == QLatin1String(kOrder[i]))
            return i;
    return int(std::size(kOrder));
}

QString utcClock(const QDateTime &t)
{
    return t.toUTC().toString(QStringLiteral("HH:mm:ss")) + QStringLiteral(" UTC");
}

// "board lost", "board searching"; "board silent" also for a board that
// delivers but whose last record is too old (it turns silent at that age).
QString blindWords(const WatchStatus &status)
{
    const BoardState s = status.board.state;
    return QStringLiteral("board ") + boardStateName(deliversReadings(s) ? BoardState::Silent : s);
}
} // namespace

SafetyRules safetyRulesFrom(const Settings &s)
{
    SafetyRules r;
    r.staleAfterSeconds = staleLimitSeconds(s);
    r.safeDelayMinutes = std::max(0, s.SafeDelayMinutes);
    r.windLimit = s.WindSpeedCloseD;
    r.unsafeWhenPartlyCloudy = s.UnsafeWhenPartlyCloudy;
    r.unsafeWhenOvercast = s.UnsafeWhenOvercast;
    r.unsafeInDaylight = s.UnsafeInDaylight;
    return r;
}

SafetyWatchOptions safetyWatchOptionsFrom(const Settings &s)
{
    return {safetyRulesFrom(s), s.SafeProgram, s.UnsafeProgram};
}

QList<HeldCondition> conditionsNow(const WatchStatus &status, const SafetyRules &rules, const QDateTime &now)
{
    QList<HeldCondition> held;
    const QString board = boardProblem(status, now, rules.staleAfterSeconds);
    if (!board.isEmpty()) {
        held.append({QStringLiteral("board"), board});
        return held;
    }
    const Observation &o = *status.lastLive;
    const Readings &r = o.readings;
    if (o.raining)
        held.append({QStringLiteral("rain"), QStringLiteral("Rain on the sensor")});
    // Cloudier classes are unsafe whenever a clearer one is.
    const bool overcastUnsafe = rules.unsafeWhenOvercast || rules.unsafeWhenPartlyCloudy;
    if (!r.sky)
        held.append({QStringLiteral("clouds"), QStringLiteral("Sky not measured: temperature processing is off")});
    else if (*r.sky == SkyClass::Overcast && overcastUnsafe)
        held.append({QStringLiteral("clouds"), QStringLiteral("Overcast sky")});
    else if (*r.sky == SkyClass::PartlyCloudy && rules.unsafeWhenPartlyCloudy)
        held.append({QStringLiteral("clouds"), QStringLiteral("Partly cloudy sky")});
    const std::optional<double> wind = r[Quantity::WindAverage];
    if (!wind)
        held.append({QStringLiteral("wind"), o.windOn ? QStringLiteral("Wind not measured yet")
                                                      : QStringLiteral("Wind not measured: wind processing is off")});
    else if (*wind >= rules.windLimit)
        held.append({QStringLiteral("wind"), QStringLiteral("Average wind %1 at or above the limit %2")
                                                 .arg(*wind, 0, 'f', 1)
                                                 .arg(rules.windLimit, 0, 'f', 1)});
    if (rules.unsafeInDaylight && o.daylight)
        held.append({QStringLiteral("daylight"), QStringLiteral("Daylight")});
    return held;
}

const SafetyVerdict &SafetyMonitor::judge(const WatchStatus &status, const SafetyRules &rules, const QDateTime &now)
{
    const QList<HeldCondition> held = conditionsNow(status, rules, now);
    // Waiting for the first reading is the start-up wait's, not the board's.
    const bool boardHeld = std::any_of(held.begin(), held.end(), [](const HeldCondition &h) { return h.name == QLatin1String("board"); });
    if (m_startup.firstReading(boardHeld, status, now, rules))
        std::erase_if(m_tracked, [](const Tracked &t) { return t.name == QLatin1String("board"); });
    for (const HeldCondition &h : held) {
        auto it = std::find_if(m_tracked.begin(), m_tracked.end(), [&](const Tracked &t) { return t.name == h.name; });
        if (it == m_tracked.end())
            it = m_tracked.insert(m_tracked.end(), Tracked{h.name, h.text, now, now, {}, {}, -1});
        it->text = h.text;
        it->lastHeld = now;
    }
    // A condition gone for the whole delay no longer holds the verdict back.
    const qint64 delay = qint64(rules.safeDelayMinutes) * 60;
    std::erase_if(m_tracked, [&](const Tracked &t) { return t.lastHeld != now && t.lastHeld.secsTo(now) >= delay; });
    std::stable_sort(m_tracked.begin(), m_tracked.end(),
                     [](const Tracked &a, const Tracked &b) { return rank(a.name) < rank(b.name); });

    SafetyVerdict v;
    v.known = true;
    // While the board gives nothing fresh the weather is unknown: a condition
    // not seen since then has not ended, it can no longer be seen.
    const bool blind = boardHeld;
    const QString unknown = blind ? QStringLiteral(" \u2014 unknown (%1)").arg(blindWords(status)) : QString();
    for (Tracked &t : m_tracked) {
        QString text = t.text;
        if (blind && t.lastHeld != now) {
            text += unknown;
        } else if (t.lastHeld != now) {
            if (t.noteHeld != t.lastHeld || t.noteDelay != rules.safeDelayMinutes) {
                t.endedNote = QStringLiteral(" (ended %1; safe again %2 min after)")
                                  .arg(utcClock(t.lastHeld))
                                  .arg(rules.safeDelayMinutes);
                t.noteHeld = t.lastHeld;
                t.noteDelay = rules.safeDelayMinutes;
            }
            text += t.endedNote;
        }
        v.unsafe.append({t.name, text, t.since});
    }
    // The wait after a start comes after what is wrong now: a lost board is the first reason.
    if (std::optional<UnsafeCondition> wait = m_startup.holding(now, rules))
        v.unsafe.append(*wait);
    v.safe = v.unsafe.isEmpty();
    v.changed = (!m_verdict.known || m_verdict.safe != v.safe) ? now : m_verdict.changed;
    m_verdict = v;
    return m_verdict;
}
