// The archive's SQLite file: opening it (for writing, or read-only beside a
// running program), and bringing its tables to the current schema version.
#pragma once

#include <QSqlDatabase>
#include <QString>

inline constexpr int kArchiveSchemaVersion = 1;

// "$XDG_DATA_HOME/tarnwick/archive.sqlite" (~/.local/share when unset).
QString defaultArchivePath();

// Opens path under a connection name of its own. Writable: creates the folder
// and the file, sets WAL mode and migrates. Read-only: the file must exist and
// carry a schema this program reads. On failure returns an invalid database
// (connection removed) and sets error to one line.
QSqlDatabase openArchiveDatabase(const QString &path, const QString &connection, bool writable, QString &error);
void closeArchiveDatabase(const QString &connection);

// Column list shared by the writer and the readers, and the minute summary
// statement for one span of observation times [fromMs, toMs).
QString observationColumns();
QString summarizeMinutesSql();
