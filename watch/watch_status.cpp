#include "watch/watch_status.h"

#include <algorithm>

QString boardProblem(const WatchStatus &status, const QDateTime &nowUtc, int staleAfterSeconds)
{
    const BoardStatus &b = status.board;
    if (!deliversReadings(b.state)) {
        QString text = QStringLiteral("The board is %1").arg(boardStateName(b.state));
        if (!b.reason.isEmpty())
            text += QStringLiteral(" (%1)").arg(b.reason);
        return text;
    }
    if (!b.lastRecord.isValid() || !status.lastLive)
        return QStringLiteral("No reading from the board yet");
    if (!currentObservation(status, nowUtc, staleAfterSeconds))
        return QStringLiteral("No reading from the board for more than %1 s").arg(staleAfterSeconds);
    return QString();
}

const Observation *currentObservation(const WatchStatus &status, const QDateTime &nowUtc, int staleAfterSeconds)
{
    if (!status.lastLive || !deliversReadings(status.board.state))
        return nullptr;
    // The observation's own time, not the board's last record: a board found
    // again has a fresh record before its first new observation.
    const QDateTime &t = status.lastLive->utc;
    if (!t.isValid() || t.msecsTo(nowUtc) >= qint64(staleAfterSeconds) * 1000)
        return nullptr;
    return &*status.lastLive;
}

Readings currentReadings(const WatchStatus &status, const QDateTime &nowUtc, int staleAfterSeconds)
{
    const Observation *o = currentObservation(status, nowUtc, staleAfterSeconds);
    return o ? o->readings : Readings{};
}

void WatchFeed::publish(const Observation &o)
{
    m_status.latest = o;
    if (o.source == ObservationSource::Live && deliversReadings(m_status.board.state)) {
        m_status.lastLive = o;
        m_status.board.lastRecord = o.utc; // the board tells only its changes of state
    }
    judgeAndTell(Change::Observation);
}

void WatchFeed::setBoard(const BoardStatus &board)
{
    m_status.board = board;
    judgeAndTell(Change::Board);
}

void WatchFeed::setSafety(const SafetyVerdict &safety)
{
    m_status.safety = safety;
    tell(Change::Safety);
}

void WatchFeed::judgeAndTell(Change change)
{
    bool verdictChanged = false;
    if (m_judge) {
        SafetyVerdict verdict = m_judge(m_status);
        verdictChanged = !(verdict == m_status.safety);
        m_status.safety = std::move(verdict);
    }
    tell(change);
    if (verdictChanged)
        tell(Change::Safety);
}

WatchFeed::ListenerId WatchFeed::listen(Listener listener)
{
    m_listeners.emplace_back(m_nextId, std::move(listener));
    return m_nextId++;
}

void WatchFeed::unlisten(ListenerId id)
{
    const auto it = std::find_if(m_listeners.begin(), m_listeners.end(), [id](const auto &l) { return l.first == id; });
    if (id == 0 || it == m_listeners.end())
        return;
    // The one running may be the one that goes: it is dropped after the telling.
    if (m_telling > 0)
        it->first = 0;
    else
        m_listeners.erase(it);
}

void WatchFeed::tell(Change change)
{
    ++m_telling;
    // By index: a listener may add another meanwhile (a deque keeps the running one in place).
    for (size_t i = 0; i < m_listeners.size(); ++i)
        if (m_listeners[i].first != 0)
            m_listeners[i].second(m_status, change);
    if (--m_telling == 0)
        std::erase_if(m_listeners, [](const auto &l) { return l.first == 0; });
}
