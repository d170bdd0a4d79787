// Reading the archive: observations, minute summaries, and summaries over
// steps of any whole number of seconds (from the minute table when the step
// is a minute or more). Shared by the writer, "tarnwick history" and the web page.
#pragma once

#include "archive/archived_observation.h"

#include <QSqlDatabase>
#include <vector>

std::vector<ArchivedObservation> queryObservations(const QSqlDatabase &db, const QDateTime &fromUtc,
                                                   const QDateTime &toUtc);
std::vector<ArchiveSummary> queryMinutes(const QSqlDatabase &db, const QDateTime &fromUtc, const QDateTime &toUtc);
std::vector<ArchiveSummary> querySummaries(const QSqlDatabase &db, const QDateTime &fromUtc, const QDateTime &toUtc,
                                           int stepSeconds);

// Summaries over steps of `step` seconds (a minute or more) of the minute
// rows in `rows` (a table and its condition, or a sub-query), weighted by count.
QString summariesOfMinutesSql(int step, const QString &rows);

// The archive's codes for board states (fixed: they are on disk).
int boardStateCode(BoardState state);
BoardState boardStateFromCode(int code);

// A read-only view of an archive file, usable while a program writes it.
class ArchiveReader {
public:
    ArchiveReader();
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader &) = delete;
    ArchiveReader &operator=(const ArchiveReader &) = delete;

    bool open(const QString &path, QString &error);
    const QSqlDatabase &database() const { return m_db; }

private:
    QString m_connection;
    QSqlDatabase m_db;
};
