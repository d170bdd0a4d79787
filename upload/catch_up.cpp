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
    const auto mean = [&m](ArchiveValue v) { return m.mean[size_t(v)]; };
    Observation o;
    o.utc = m.utc;
    o.ambientC = mean(ArchiveValue::Ambient);
    o.temperaturesOn = !std::isnan(o.ambientC);
    o.humidityPercent = mean(ArchiveValue::Humidity);
    o.humidityMissing = std::isnan(o.humidityPercent);
    o.skyC = mean(ArchiveValue::Sky);
    o.skyOn = !std::isnan(o.skyC);
    o.windAverage = mean(ArchiveValue::WindAverage);
    o.windGust = m.max[size_t(ArchiveValue::Gust)];
    if (std::isnan(o.windAverage))
        o.windAverage = 0;
    if (std::isnan(o.windGust))
        o.windGust = -1; // left out
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
