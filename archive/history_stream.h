// "tarnwick history" written while the archive is read: observation rows or
// minute rows as CSV or JSON, chunk by chunk, the same bytes as the texts of
// history_text.h made from the rows of archive_query.h.
#pragma once

#include "archive/text_chunks.h"

#include <QDateTime>
#include <QSqlDatabase>

// False when the archive could not be read (nothing written then).
bool writeObservationsText(const QSqlDatabase &db, const QDateTime &fromUtc, const QDateTime &toUtc, bool json,
                           const ByteSink &sink);
bool writeMinutesText(const QSqlDatabase &db, const QDateTime &fromUtc, const QDateTime &toUtc, bool json,
                      const ByteSink &sink);
