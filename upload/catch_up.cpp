// Which minutes a service still owes, and their reports.
#include "upload/catch_up.h"

#include <cmath>

namespace {

QDateTime minuteStart(const QDateTime &t)
{
    const qint64 s = t.toSecsSinceEpoch();
    return QDateTime::fromSecsSinceEpoch(s - s % 60, Qt::UTC);
}

} // namespace

PwsReading readingFromMinute(const ArchiveSummary &m)
{
    // The minute's means, and its highest gust.
    Observation o;
    o.utc = m.utc;
    const auto put = [&o](Quantity q, double v) {
        if (!std::isnan(v))
            o.readings.set(q, v);
    };
    for (Quantity q : {Quantity::Ambient, Quantity::Humidity, Quantity::Sky, Quantity::DewPoint, Quantity::WindAverage})
        put(q, m.mean[size_t(q)]);
    put(Quantity::Gust, m.max[size_t(Quantity::Gust)]);
    PwsReading r = readingFrom(o);
    r.realtime = false;
    return r;
}

void CatchUp::missed(const QDateTime &recordUtc)
{
    if (!m_source || open())
        return;
    m_from = m_lastTaken.isValid() ? minuteStart(m_lastTaken).addSecs(60) : minuteStart(recordUtc);
    m_to = QDateTime();
}

bool CatchUp::liveEnded(const QDateTime &recordUtc, bool wasTaken, bool worthRetry)
{
    if (wasTaken)
        taken(recordUtc);
    else if (worthRetry && !available())
        return false;
    else if (worthRetry)
        missed(recordUtc);
    return true;
}

void CatchUp::taken(const QDateTime &recordUtc)
{
    m_lastTaken = recordUtc;
    if (open() && !m_to.isValid())
        m_to = minuteStart(recordUtc);
}

std::optional<CatchUp::Due> CatchUp::next(const QDateTime &nowUtc, int backlogHours)
{
    if (!open() || !m_source)
        return std::nullopt;
    const QDateTime oldest = nowUtc.addSecs(-qint64(backlogHours) * 3600);
    const QDateTime from = std::max(m_from, oldest);
    // Only whole minutes: the one under way has no row yet.
    const QDateTime to = m_to.isValid() ? std::min(m_to, minuteStart(nowUtc)) : minuteStart(nowUtc);
    std::vector<ArchiveSummary> rows = from < to ? m_source(from, to) : std::vector<ArchiveSummary>{};
    std::erase_if(rows, [&](const ArchiveSummary &r) { return r.utc < from || r.utc >= to || r.count == 0; });
    if (rows.empty()) {
        if (m_to.isValid() && minuteStart(nowUtc) >= m_to) { // nothing more can come
            m_from = QDateTime();
            m_to = QDateTime();
        }
        return std::nullopt;
    }
    Due due;
    due.minute = rows.front().utc;
    due.reading = readingFromMinute(rows.front());
    due.remaining = int(rows.size());
    return due;
}

void CatchUp::rowDone(const QDateTime &minute)
{
    if (open())
        m_from = minute.addSecs(60);
}
