// The UploadServices text as rows of a table and back: one row per service
// line, its fields in columns by the service's kind. Lines a row cannot show
// (comments, a line of the wrong shape) are kept as they are.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

struct ServiceRow {
    QString kind = QStringLiteral("pws"); // pws, windmap, get or post
    QString name;
    QString address;   // the URL, or the URL template of a custom GET
    QString stationId; // pws and windmap only
    QString key;       // pws and windmap only
    QString body;      // post only
    QString interval = QStringLiteral("60"); // seconds
};

struct ServiceRows {
    std::vector<ServiceRow> rows;
    QStringList keptLines;
};

// The kinds a row can take, in the order the table offers them.
const QStringList &serviceKinds();
// Whether a column (ServiceColumn) is used by a kind.
enum class ServiceColumn { Kind, Name, Address, StationId, Key, Body, Interval };
inline constexpr int kServiceColumnCount = int(ServiceColumn::Interval) + 1;
bool serviceColumnUsed(const QString &kind, ServiceColumn column);

ServiceRows serviceRowsFromText(const QString &text);
// The row's line: the fields its kind uses, split by "|".
QString serviceLine(const ServiceRow &row);
// Every row's line, then the kept lines.
QString serviceTextFromRows(const ServiceRows &rows);
// A column's title in the services table.
QString serviceColumnTitle(ServiceColumn column);
// Why row number `number` (from 1) cannot be used, one sentence per field,
// each naming the row and the column but not what the field holds: a field
// its kind needs is empty, the interval is no whole number of seconds, or a
// "|" or line break would split the row. Empty when it can be used.
QStringList serviceRowProblems(const ServiceRow &row, int number);
