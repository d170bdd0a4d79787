// Catch-up after an outage: the minutes in which no record reached a service
// are sent afterwards from the archive's per-minute rows, oldest first, each
// with its own time, none older than the backlog and none twice. A minute in
// which a record was taken is never replayed.
#pragma once

#include "archive/archived_observation.h"
#include "upload/pws_report.h"

#include <QDateTime>
#include <functional>
#include <optional>
#include <vector>

// The archive's minute rows that begin in [from, to), oldest first.
using MinuteSource = std::function<std::vector<ArchiveSummary>(const QDateTime &fromUtc, const QDateTime &toUtc)>;

// A minute row as a late report: the means, the minute's highest gust, its
// start as the time; values the board did not give are left out.
PwsReading readingFromMinute(const ArchiveSummary &minute);

class CatchUp {
public:
    explicit CatchUp(MinuteSource source = {}) : m_source(std::move(source)) {}

    bool available() const { return bool(m_source); }
    void setSource(MinuteSource source) { m_source = std::move(source); }
    // A gap is open: some minutes have not reached the service yet.
    bool open() const { return m_from.isValid(); }

    // A live record at recordUtc was not taken: the gap opens after the last
    // record that was (or at this record's minute when none was).
    void missed(const QDateTime &recordUtc);
    // A live record at recordUtc was taken: its minute and later ones need no catch-up.
    void taken(const QDateTime &recordUtc);
    // How a live record's try ended: taken, or worth another try (the archive
    // holds it). False for a record worth another try that no archive keeps:
    // the caller keeps it.
    bool liveEnded(const QDateTime &recordUtc, bool wasTaken, bool worthRetry);

    struct Due {
        PwsReading reading;
        QDateTime minute; // the row's start
        int remaining = 0; // rows still due, this one included
    };
    // The oldest row still due, as of now; nothing when the gap is closed or
    // no complete minute of it is in the archive yet.
    std::optional<Due> next(const QDateTime &nowUtc, int backlogHours);
    // The row of this minute is done with (taken, or not worth another try).
    void rowDone(const QDateTime &minute);

private:
    MinuteSource m_source;
    QDateTime m_lastTaken; // the last live record taken
    QDateTime m_from;      // first minute still due (open gap)
    QDateTime m_to;        // end of the gap: the minute of the first record taken after it
};
