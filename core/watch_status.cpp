#include "core/watch_status.h"

void WatchFeed::publish(const Observation &o)
{
    m_status.latest = o;
    if (o.source == ObservationSource::Live && deliversReadings(m_status.board.state)) {
        m_status.lastLive = o;
        m_status.board.lastRecord = o.utc; // the board tells only its changes of state
    }
    tell(Change::Observation);
}

void WatchFeed::setBoard(const BoardStatus &board)
{
    m_status.board = board;
    tell(Change::Board);
}

void WatchFeed::setSafety(const SafetyVerdict &safety)
{
    m_status.safety = safety;
    tell(Change::Safety);
}

void WatchFeed::tell(Change change)
{
    for (const Listener &l : m_listeners)
        l(m_status, change);
}
