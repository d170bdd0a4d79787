#include "windows/service_rows.h"

#include "upload/services.h"

#include <algorithm>

namespace {
// Fields after the kind, per kind, as they stand in a line.
std::vector<QString ServiceRow::*> fieldsOf(const QString &kind)
{
    if (kind == QLatin1String("get"))
        return {&ServiceRow::name, &ServiceRow::address, &ServiceRow::interval};
    if (kind == QLatin1String("post"))
        return {&ServiceRow::name, &ServiceRow::address, &ServiceRow::body, &ServiceRow::interval};
    return {&ServiceRow::name, &ServiceRow::address, &ServiceRow::stationId, &ServiceRow::key, &ServiceRow::interval};
}

QString ServiceRow::*memberOf(ServiceColumn column)
{
    switch (column) {
    case ServiceColumn::Kind: return &ServiceRow::kind;
    case ServiceColumn::Name: return &ServiceRow::name;
    case ServiceColumn::Address: return &ServiceRow::address;
    case ServiceColumn::StationId: return &ServiceRow::stationId;
    case ServiceColumn::Key: return &ServiceRow::key;
    case ServiceColumn::Body: return &ServiceRow::body;
    case ServiceColumn::Interval: return &ServiceRow::interval;
    }
    return &ServiceRow::name;
}
} // namespace

const QStringList &serviceKinds()
{
    static const QStringList kinds{QStringLiteral("pws"), QStringLiteral("windmap"), QStringLiteral("get"),
                                   QStringLiteral("post")};
    return kinds;
}

bool serviceColumnUsed(const QString &kind, ServiceColumn column)
{
    if (column == ServiceColumn::Kind)
        return true;
    const auto fields = fieldsOf(kind);
    return std::find(fields.begin(), fields.end(), memberOf(column)) != fields.end();
}

ServiceRows serviceRowsFromText(const QString &text)
{
    ServiceRows out;
    for (const QString &raw : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        const QStringList f = line.split(QLatin1Char('|'));
        const QString kind = f.value(0).trimmed();
        const auto fields = fieldsOf(kind);
        if (line.startsWith(QLatin1Char('#')) || !serviceKinds().contains(kind) || f.size() != int(fields.size()) + 1) {
            out.keptLines << raw;
            continue;
        }
        ServiceRow row;
        row.kind = kind;
        for (size_t i = 0; i < fields.size(); ++i)
            row.*fields[i] = f[qsizetype(i) + 1];
        out.rows.push_back(row);
    }
    return out;
}

QString serviceLine(const ServiceRow &row)
{
    QStringList parts{row.kind};
    for (QString ServiceRow::*field : fieldsOf(row.kind))
        parts << row.*field;
    return parts.join(QLatin1Char('|'));
}

QString serviceTextFromRows(const ServiceRows &rows)
{
    QStringList lines;
    for (const ServiceRow &row : rows.rows)
        lines << serviceLine(row);
    lines << rows.keptLines;
    return lines.join(QLatin1Char('\n'));
}

QString serviceColumnTitle(ServiceColumn column)
{
    static const char *const titles[kServiceColumnCount] = {"Kind", "Name", "URL or template", "Station ID", "Key",
                                                            "POST body", "Every (s)"};
    return QString::fromLatin1(titles[int(column)]);
}

QStringList serviceRowProblems(const ServiceRow &row, int number)
{
    // Named by row and column, never quoted: a field may hold a key.
    QStringList problems;
    auto tell = [&](ServiceColumn column, const char *what) {
        problems << QStringLiteral("service row %1: %2 %3").arg(number).arg(serviceColumnTitle(column), QLatin1String(what));
    };
    for (int c = int(ServiceColumn::Name); c < kServiceColumnCount; ++c) {
        const auto column = ServiceColumn(c);
        if (!serviceColumnUsed(row.kind, column))
            continue;
        const QString &text = row.*memberOf(column);
        if (text.contains(QLatin1Char('|')) || text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')))
            tell(column, "holds a \"|\" or a line break, which would split the row");
        else if (text.trimmed().isEmpty() && column != ServiceColumn::Name && column != ServiceColumn::Body)
            tell(column, "is empty");
    }
    bool whole = false;
    const int seconds = row.interval.trimmed().toInt(&whole);
    if (!row.interval.trimmed().isEmpty() && (!whole || seconds < kShortestInterval))
        tell(ServiceColumn::Interval, "is not a whole number of seconds, 1 or more");
    return problems;
}
