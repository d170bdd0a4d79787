// The archive's minute rows of the last two days and a bit, held in memory
// as the writer summarizes each minute: today's highs and lows, the trends
// and last night are read from here on every live request, so its cost does
// not grow with the archive. The rows are the minute table's own (read back
// as written), so a question answered here gets what the table would give.
#pragma once

#include "archive/archived_observation.h"

#include <span>
#include <vector>

class RecentMinutes {
public:
    // Minutes this long before the latest are kept: enough for the local
    // day (25 h with a clock change) and the night between the last two
    // solar noons (up to 48 h back).
    static constexpr qint64 kKeptSeconds = 50 * 3600;

    // Starts over from the minute rows from `coveredFrom` (UTC seconds, a
    // minute's start) on, in time order; every later minute comes through put().
    void load(std::vector<ArchiveSummary> minutes, qint64 coveredFrom);
    // Forgets everything: nothing is covered until the next load().
    void clear();
    // A minute as the table now holds it: added, or in place of the row of the same minute.
    void put(const ArchiveSummary &minute);

    // Whether every minute row in [fromUtc, ...) is held here.
    bool covers(const QDateTime &fromUtc) const;
    // The rows that a minute query of the table from fromUtc to toUtc gives
    // (a minute that began before fromUtc is left out); valid until the next change.
    std::span<const ArchiveSummary> between(const QDateTime &fromUtc, const QDateTime &toUtc) const;
    // Changes with every change of the rows held, so an answer made from them can be kept.
    quint64 revision() const { return m_revision; }

private:
    void trim();

    bool m_loaded = false;
    qint64 m_coveredFrom = 0;
    std::vector<qint64> m_starts; // UTC seconds of each row's minute, ascending
    std::vector<ArchiveSummary> m_rows;
    quint64 m_revision = 0;
};
