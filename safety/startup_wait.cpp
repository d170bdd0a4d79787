#include "safety/startup_wait.h"

#include "archive/archived_observation.h"
#include "safety/safety_monitor.h"

std::optional<StartupCredit> creditFromArchive(const std::vector<ArchivedObservation> &rows, const QDateTime &startUtc,
                                               const SafetyRules &rules)
{
    if (rows.empty())
        return std::nullopt;
    const ArchivedObservation &newest = rows.back();
    const qint64 staleMs = qint64(rules.staleAfterSeconds) * 1000;
    if (newest.utc > startUtc || newest.utc.msecsTo(startUtc) >= staleMs)
        return std::nullopt;
    const QDateTime neededFrom = newest.utc.addSecs(-qint64(rules.safeDelayMinutes) * 60);
    QDateTime later = newest.utc;
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        const bool safe = row->safe.value_or(false);
        // A gap the live watch would have judged "board" restarts the delay too.
        if (!safe || row->board != newest.board || !deliversReadings(row->board) || row->utc.msecsTo(later) >= staleMs)
            return std::nullopt;
        if (row->utc <= neededFrom)
            return StartupCredit{newest.utc, newest.board};
        later = row->utc;
    }
    return std::nullopt;
}

bool StartupWait::firstReading(bool boardHeld, const WatchStatus &status, const QDateTime &now, const SafetyRules &rules)
{
    if (!m_start.isValid())
        m_start = now;
    if (m_firstReading.isValid() || boardHeld)
        return false;
    m_firstReading = now;
    // The archive's safe rows count only when the board watched on without a
    // gap: the same kind of board, its first reading within StaleAfterSeconds.
    m_over = m_credit && m_credit->board == status.board.state &&
             m_credit->lastSafe.msecsTo(now) < qint64(rules.staleAfterSeconds) * 1000;
    return true;
}

std::optional<UnsafeCondition> StartupWait::holding(const QDateTime &now, const SafetyRules &rules)
{
    if (m_over || !m_firstReading.isValid())
        return std::nullopt;
    const QDateTime until = m_firstReading.addSecs(qint64(rules.safeDelayMinutes) * 60);
    if (now >= until) {
        m_over = true;
        return std::nullopt;
    }
    if (until != m_textUntil) {
        // The whole minute by which it will be safe, in the clock of the other reasons.
        QDateTime shown = until.toUTC();
        if (shown.time().second() != 0 || shown.time().msec() != 0)
            shown = shown.addSecs(60);
        m_text = QStringLiteral("Waiting %1 min after start — safe at %2 UTC if nothing changes")
                     .arg(rules.safeDelayMinutes)
                     .arg(shown.toString(QStringLiteral("HH:mm")));
        m_textUntil = until;
    }
    return UnsafeCondition{QStringLiteral("startup"), m_text, m_start};
}
