#include "archive/recent_minutes.h"

#include <algorithm>

namespace {

// The bounds a minute query puts on the rows' starts (see querySummaries).
qint64 firstStart(const QDateTime &fromUtc)
{
    return (fromUtc.toMSecsSinceEpoch() + 59999) / 60000 * 60;
}

qint64 lastStart(const QDateTime &toUtc)
{
    return toUtc.toMSecsSinceEpoch() / 1000;
}

// Rows are dropped an hour's worth at a time, not one each minute.
constexpr qint64 kTrimSlackSeconds = 3600;

} // namespace

void RecentMinutes::load(std::vector<ArchiveSummary> minutes, qint64 coveredFrom)
{
    m_rows = std::move(minutes);
    m_starts.clear();
    m_starts.reserve(m_rows.size());
    for (const ArchiveSummary &m : m_rows)
        m_starts.push_back(m.utc.toSecsSinceEpoch());
    m_coveredFrom = coveredFrom;
    m_loaded = true;
    ++m_revision;
}

void RecentMinutes::clear()
{
    m_rows.clear();
    m_starts.clear();
    m_loaded = false;
    ++m_revision;
}

void RecentMinutes::put(const ArchiveSummary &minute)
{
    const qint64 start = minute.utc.toSecsSinceEpoch();
    if (!m_loaded || start < m_coveredFrom)
        return;
    const auto at = std::lower_bound(m_starts.begin(), m_starts.end(), start);
    const auto index = at - m_starts.begin();
    if (at != m_starts.end() && *at == start) {
        m_rows[size_t(index)] = minute;
    } else {
        m_starts.insert(at, start);
        m_rows.insert(m_rows.begin() + index, minute);
    }
    ++m_revision;
    trim();
}

void RecentMinutes::trim()
{
    const qint64 keepFrom = m_starts.back() - kKeptSeconds;
    if (m_starts.front() >= keepFrom - kTrimSlackSeconds)
        return;
    const auto end = std::lower_bound(m_starts.begin(), m_starts.end(), keepFrom);
    const auto count = end - m_starts.begin();
    m_starts.erase(m_starts.begin(), end);
    m_rows.erase(m_rows.begin(), m_rows.begin() + count);
    m_coveredFrom = std::max(m_coveredFrom, keepFrom);
}

bool RecentMinutes::covers(const QDateTime &fromUtc) const
{
    return m_loaded && fromUtc.isValid() && firstStart(fromUtc) >= m_coveredFrom;
}

std::span<const ArchiveSummary> RecentMinutes::between(const QDateTime &fromUtc, const QDateTime &toUtc) const
{
    const auto first = std::lower_bound(m_starts.begin(), m_starts.end(), firstStart(fromUtc));
    const auto last = std::upper_bound(first, m_starts.end(), lastStart(toUtc));
    if (first >= last)
        return {};
    return {m_rows.data() + (first - m_starts.begin()), size_t(last - first)};
}
