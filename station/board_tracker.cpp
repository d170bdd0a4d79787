#include "station/board_tracker.h"

#include <algorithm>

BoardTracker::BoardTracker(Clock clock, Listener listener) : m_clock(std::move(clock)), m_listener(std::move(listener))
{
    m_status.since = now();
}

void BoardTracker::enter(BoardState state, const QString &device, const QString &reason)
{
    const bool stateChanged = state != m_status.state;
    if (!stateChanged && device == m_status.device && reason == m_status.reason)
        return;
    m_status.state = state;
    m_status.device = device;
    m_status.reason = reason;
    if (stateChanged)
        m_status.since = now();
    if (m_listener)
        m_listener(m_status, stateChanged);
}

void BoardTracker::recordAccepted(const QString &device)
{
    m_status.lastRecord = now();
    const BoardState delivering = m_simulated ? BoardState::Simulated : BoardState::Live;
    if (m_status.state != delivering || m_status.device != device)
        enter(delivering, device, m_simulated ? QStringLiteral("the built-in simulator answers")
                                              : QStringLiteral("records arrive"));
}

qint64 BoardTracker::secondsWithoutRecord() const
{
    QDateTime from = m_status.since;
    if (m_status.lastRecord.isValid() && m_status.lastRecord > from)
        from = m_status.lastRecord;
    return from.secsTo(now());
}

void ReconnectBackoff::start(const QDateTime &now)
{
    m_delay = kFirstSeconds;
    m_next = now.addSecs(m_delay);
}

void ReconnectBackoff::failed(const QDateTime &now)
{
    m_delay = std::min(m_delay * 2, kMaxSeconds);
    m_next = now.addSecs(m_delay);
}
