// The archive as text: CSV (one heading line with units, ISO UTC times) and
// JSON, and the times a user types ("6h", "2026-12-07T20:00").
#pragma once

#include "archive/archived_observation.h"

#include <QByteArray>
#include <QJsonObject>
#include <functional>
#include <optional>
#include <vector>

// "90s", "30m", "6h", "2d" before nowUtc; "now"; or an ISO 8601 date and time,
// UTC unless it names an offset ("2026-12-07T20:00", "2026-12-07T21:00+01:00").
std::optional<QDateTime> parseHistoryTime(const QString &text, const QDateTime &nowUtc);

QByteArray observationsCsv(const std::vector<ArchivedObservation> &rows);
QByteArray summariesCsv(const std::vector<ArchiveSummary> &rows);
// JSON: {"units": {"ambient_c": "°C", ...}, "rows": [...]}
QByteArray observationsJson(const std::vector<ArchivedObservation> &rows);
QByteArray summariesJson(const std::vector<ArchiveSummary> &rows);
QJsonObject observationJson(const ArchivedObservation &r);
// The fields of observationJson one by one, for a writer that sends them
// without building a document first.
void forEachObservationField(const ArchivedObservation &r, const std::function<void(QLatin1String key, const QJsonValue &value)> &field);
// Two decimals; null for NaN.
QJsonValue jsonNumber(double v);
// {"ambient_c": "°C", ...}
QJsonObject archiveUnits();

// "2026-12-07T20:00:00Z"; with milliseconds only when they are not zero.
QString isoUtc(const QDateTime &utc);
// "safe", "unsafe" or "unknown"
QString safetyWord(const std::optional<bool> &safe);
