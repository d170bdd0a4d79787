// The weather archive: every live observation of a board that delivers
// readings, kept for ArchiveDays, a summary per minute kept for the minute
// retention and one per hour kept for ever.
// Each observation is committed as it comes (WAL with synchronous=NORMAL keeps
// that cheap), so a killed program loses at most the one in flight; a failing
// disk is reported once and never stops the watch.
#pragma once

#include "archive/archive_hours.h"
#include "archive/archived_observation.h"
#include "archive/recent_minutes.h"
#include "archive/sqlite_statement.h"
#include "watch/watch_status.h"

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <functional>
#include <vector>

class QThread;

class Archive {
public:
    using Report = std::function<void(const QString &)>;

    explicit Archive(Report report = {});
    ~Archive(); // commits the open batch, if any
    Archive(const Archive &) = delete;
    Archive &operator=(const Archive &) = delete;

    // Opens or creates the file. False, after reporting why, when it cannot be used.
    bool open(const QString &path);
    bool isOpen() const { return m_db.isOpen(); }
    QString path() const { return m_path; }
    void setRetentionDays(int days) { m_retentionDays = days; }
    // Minute rows older than this go once their hour rows stand for them (0: kept for ever).
    void setMinuteRetentionDays(int days) { m_minuteRetentionDays = days; }
    // Rows gathered into one transaction for this long; 0 (the default)
    // commits every observation.
    void setBatchSeconds(int seconds) { m_batchSeconds = seconds; }

    // The watch feed's listener: archives the latest observation when it is a
    // live record from a board that delivers readings; a change of board
    // state closes the batch.
    void onWatch(const WatchStatus &status, WatchFeed::Change change);
    void add(const Observation &o, const BoardStatus &board, const SafetyVerdict &safety);
    // Commits the open batch now.
    void flush();
    // Deletes observations older than the retention (summaries stay).
    void prune(const QDateTime &nowUtc);

    // Readers on the writer's own connection (they see the open batch too).
    std::vector<ArchivedObservation> observationsBetween(const QDateTime &fromUtc, const QDateTime &toUtc) const;
    // Recent minutes come from memory (see RecentMinutes), older ones from the file.
    std::vector<ArchiveSummary> minutesBetween(const QDateTime &fromUtc, const QDateTime &toUtc) const;
    // The same without a copy when they are recent; `read` holds the rows
    // read from the file otherwise. Valid until the next observation.
    std::span<const ArchiveSummary> minutesView(const QDateTime &fromUtc, const QDateTime &toUtc,
                                                std::vector<ArchiveSummary> &read) const;
    // Changes whenever a minute row may have changed: an answer made from
    // the minutes can be kept while it stays the same.
    quint64 minutesRevision() const { return m_minutesRevision; }
    std::vector<ArchiveSummary> summarize(const QDateTime &fromUtc, const QDateTime &toUtc, int stepSeconds) const;

    // The connection's driver goes with the writer to the thread that writes.
    void moveToThread(QThread *thread);
    bool failing() const { return m_failing; }
    // Told once per spell of write trouble (besides the report), for messages to a person.
    void setWriteFailed(Report sink) { m_writeFailed = std::move(sink); }
    QString connectionName() const { return m_connection; }

private:
    bool beginBatch();
    void summarizeMinutes(qint64 fromMs, qint64 toMs);
    void summarizeMinute(qint64 minute);
    void loadRecentMinutes();
    void touchMinutes();
    void fail(const QString &what, const QString &why);
    void recovered();

    Report m_report;
    Report m_writeFailed;
    QString m_path;
    QString m_connection;
    QSqlDatabase m_db;
    SqliteStatement m_insert;
    SqliteStatement m_begin;
    SqliteStatement m_commit;
    QSqlQuery m_summarize;
    int m_retentionDays = 30;
    int m_minuteRetentionDays = 0;
    HourRollup m_hours;
    bool m_hoursKept = false;
    int m_batchSeconds = 0;
    bool m_inBatch = false;
    bool m_failing = false;
    QElapsedTimer m_batchAge;
    QElapsedTimer m_sincePrune;
    qint64 m_minute = -1; // minute (ms / 60000) of the last row written
    RecentMinutes m_recent;
    quint64 m_minutesRevision = 0;
};
