// Archives of any length for the benchmarks, written straight into SQLite
// with the program's own schema, as the retention keeps them: second rows
// for the last `secondDays` days with their minute rows as the writer makes
// them, minute rows with readings that wander through day and year back to
// `minuteDays`, hour rows for the whole span. The last row is a few seconds
// before `endUtc`.
#pragma once

#include <QDateTime>
#include <QString>

// False (after saying why on standard error) when the file cannot be written.
bool fillArchive(const QString &path, int days, int secondDays, int minuteDays, const QDateTime &endUtc);
// The file and its write-ahead log, in bytes.
qint64 archiveBytes(const QString &path);
