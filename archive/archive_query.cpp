#include "archive/archive_query.h"

#include "archive/archive_hours.h"
#include "archive/archive_schema.h"
#include "archive/sqlite_statement.h"

#include "watch/watch_status.h"

#include <QSqlDriver>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <sqlite3.h>

namespace {

const BoardState kBoardCodes[] = {BoardState::Searching, BoardState::Live, BoardState::Silent,
                                  BoardState::Lost,      BoardState::Absent, BoardState::Simulated};

double number(const QSqlQuery &q, int column, double scale = 1)
{
    const QVariant v = q.value(column);
    return v.isNull() ? NAN : v.toDouble() / scale;
}

QString valueColumn(int i)
{
    return QString::fromLatin1(archiveValueInfo(archiveValueAt(i)).key);
}

// Summaries of observation rows over steps of `step` seconds.
QString fromObservationsSql(int step)
{
    QStringList exprs{QStringLiteral("(t / %1) * %2").arg(qint64(step) * 1000).arg(step), QStringLiteral("count(*)")};
    for (const char *agg : {"avg", "min", "max"})
        for (int i = 0; i < kArchiveValueCount; ++i)
            exprs << QStringLiteral("%1(%2) / %3.0").arg(QLatin1String(agg), valueColumn(i))
                         .arg(archiveValueInfo(archiveValueAt(i)).scale);
    for (const char *flag : {"raining", "cloudy", "daylight", "windy", "safe"})
        exprs << QStringLiteral("avg(%1)").arg(QLatin1String(flag));
    return QStringLiteral("SELECT %1 FROM observations WHERE t >= :from AND t <= :to GROUP BY 1 ORDER BY 1")
        .arg(exprs.join(QStringLiteral(", ")));
}

} // namespace

QString summariesOfMinutesSql(int step, const QString &rows)
{
    QStringList exprs{QStringLiteral("(t / %1) * %1").arg(step), QStringLiteral("sum(n)")};
    for (int i = 0; i < kArchiveValueCount; ++i)
        exprs << QStringLiteral("sum(%1_mean * n) / sum(CASE WHEN %1_mean IS NOT NULL THEN n END)").arg(valueColumn(i));
    for (const char *agg : {"min", "max"})
        for (int i = 0; i < kArchiveValueCount; ++i)
            exprs << QStringLiteral("%1(%2_%1)").arg(QLatin1String(agg), valueColumn(i));
    for (const char *flag : {"raining", "cloudy", "daylight", "windy", "safe"})
        exprs << QStringLiteral("sum(%1 * n) / sum(CASE WHEN %1 IS NOT NULL THEN n END)").arg(QLatin1String(flag));
    return QStringLiteral("SELECT %1 FROM %2 GROUP BY 1 ORDER BY 1").arg(exprs.join(QStringLiteral(", ")), rows);
}

namespace {

// Whether a span begins where the minute rows are gone (past their retention).
bool beforeOldestMinute(const QSqlDatabase &db, qint64 fromSeconds)
{
    QSqlQuery q(db);
    return q.exec(QStringLiteral("SELECT min(t) FROM minutes")) && q.next() && !q.value(0).isNull()
        && fromSeconds < q.value(0).toLongLong();
}

// Summaries of minute rows over steps of a minute or more, weighted by count;
// long spans in whole hours take the hour rows where they stand for the minutes.
QString fromMinutesSql(const QSqlDatabase &db, int step, qint64 fromSeconds, qint64 toSeconds)
{
    qint64 hoursFrom = 0, hoursTo = 0;
    if (step % 3600 == 0 && (toSeconds - fromSeconds > kHoursAfterSeconds || beforeOldestMinute(db, fromSeconds))
        && hourRowsFrom(db, hoursFrom, hoursTo)) {
        // Whole hours inside the span; the minutes before and after them as they are.
        const qint64 first = std::max(hoursFrom, (fromSeconds + 3599) / 3600 * 3600);
        const qint64 end = std::min(hoursTo, (toSeconds - 3540) / 3600 * 3600 + 3600);
        if (first < end)
            return longSpanSummariesSql(step, fromSeconds, first, end, toSeconds);
    }
    return summariesOfMinutesSql(step, QStringLiteral("minutes WHERE t >= %1 AND t <= %2").arg(fromSeconds).arg(toSeconds));
}

} // namespace

int boardStateCode(BoardState state)
{
    for (int i = 0; i < int(std::size(kBoardCodes)); ++i)
        if (kBoardCodes[i] == state)
            return i;
    return 0;
}

BoardState boardStateFromCode(int code)
{
    return code >= 0 && code < int(std::size(kBoardCodes)) ? kBoardCodes[code] : BoardState::Searching;
}

std::vector<ArchivedObservation> queryObservations(const QSqlDatabase &db, const QDateTime &fromUtc,
                                                   const QDateTime &toUtc)
{
    std::vector<ArchivedObservation> rows;
    // Straight through the SQLite handle: Qt's per-value conversions cost
    // several times SQLite's own work on a day of rows.
    sqlite3 *handle = sqliteHandleOf(db);
    sqlite3_stmt *stmt = nullptr;
    const QByteArray sql = QStringLiteral("SELECT %1 FROM observations WHERE t >= ? AND t <= ? ORDER BY t")
                               .arg(observationColumns())
                               .toUtf8();
    if (!handle || sqlite3_prepare_v2(handle, sql.constData(), int(sql.size()), &stmt, nullptr) != SQLITE_OK)
        return rows;
    sqlite3_bind_int64(stmt, 1, fromUtc.toMSecsSinceEpoch());
    sqlite3_bind_int64(stmt, 2, toUtc.toMSecsSinceEpoch());
    auto number = [stmt](int column, double scale) {
        return sqlite3_column_type(stmt, column) == SQLITE_NULL ? NAN : double(sqlite3_column_int64(stmt, column)) / scale;
    };
    auto whole = [stmt](int column) { return sqlite3_column_int(stmt, column); };
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        ArchivedObservation r;
        r.utc = QDateTime::fromMSecsSinceEpoch(sqlite3_column_int64(stmt, 0), Qt::UTC);
        for (int i = 0; i < kArchiveValueCount; ++i)
            r.values[size_t(i)] = number(1 + i, archiveValueInfo(archiveValueAt(i)).scale);
        int c = 1 + kArchiveValueCount;
        if (sqlite3_column_type(stmt, c) != SQLITE_NULL) {
            const int sky = whole(c);
            r.sky = sky == 2 ? SkyClass::Overcast : sky == 1 ? SkyClass::PartlyCloudy : SkyClass::Clear;
        }
        ++c;
        r.raining = whole(c++);
        r.cloudy = whole(c++);
        r.daylight = whole(c++);
        r.windy = whole(c++);
        r.heater = whole(c++);
        r.relay = whole(c++);
        r.board = boardStateFromCode(whole(c++));
        if (sqlite3_column_type(stmt, c) != SQLITE_NULL)
            r.safe = whole(c) != 0;
        ++c;
        if (const auto *unsafe = sqlite3_column_text(stmt, c))
            r.unsafe = QString::fromUtf8(reinterpret_cast<const char *>(unsafe)).split(QLatin1Char(','), Qt::SkipEmptyParts);
        rows.push_back(std::move(r));
    }
    sqlite3_finalize(stmt);
    return rows;
}

std::vector<ArchiveSummary> querySummaries(const QSqlDatabase &db, const QDateTime &fromUtc, const QDateTime &toUtc,
                                           int stepSeconds)
{
    std::vector<ArchiveSummary> rows;
    if (stepSeconds < 1)
        return rows;
    // Steps of a minute or more come from the minute rows (a minute counts in
    // the step it begins in), shorter ones from the observations.
    const bool minutes = stepSeconds >= 60;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    // Minute rows are keyed by their start in seconds; a minute that began
    // before fromUtc is left out, as a step that began before it is.
    const qint64 from = fromUtc.toMSecsSinceEpoch();
    const qint64 to = toUtc.toMSecsSinceEpoch();
    if (minutes) {
        q.prepare(fromMinutesSql(db, stepSeconds, (from + 59999) / 60000 * 60, to / 1000));
    } else {
        q.prepare(fromObservationsSql(stepSeconds));
        q.bindValue(QStringLiteral(":from"), from);
        q.bindValue(QStringLiteral(":to"), to);
    }
    if (!q.exec())
        return rows;
    while (q.next()) {
        ArchiveSummary s;
        s.utc = QDateTime::fromSecsSinceEpoch(q.value(0).toLongLong(), Qt::UTC);
        s.seconds = stepSeconds;
        s.count = q.value(1).toInt();
        int c = 2;
        for (ArchiveValues *part : {&s.mean, &s.min, &s.max})
            for (int i = 0; i < kArchiveValueCount; ++i)
                (*part)[size_t(i)] = number(q, c++);
        s.raining = q.value(c++).toDouble();
        s.cloudy = q.value(c++).toDouble();
        s.daylight = q.value(c++).toDouble();
        s.windy = q.value(c++).toDouble();
        s.safe = number(q, c++);
        rows.push_back(s);
    }
    return rows;
}

std::vector<ArchiveSummary> queryMinutes(const QSqlDatabase &db, const QDateTime &fromUtc, const QDateTime &toUtc)
{
    return querySummaries(db, fromUtc, toUtc, 60);
}

ArchiveReader::ArchiveReader() : m_connection(QStringLiteral("archive-reader-%1").arg(quintptr(this))) {}

ArchiveReader::~ArchiveReader()
{
    m_db = QSqlDatabase();
    closeArchiveDatabase(m_connection);
}

bool ArchiveReader::open(const QString &path, QString &error)
{
    m_db = openArchiveDatabase(path, m_connection, false, error);
    return m_db.isOpen();
}

ArchivedObservation archivedFrom(const Observation &o, BoardState board, const SafetyVerdict &safety)
{
    ArchivedObservation r;
    r.utc = o.utc.toUTC();
    for (const QuantityInfo &q : storedQuantities())
        r.values[size_t(q.quantity)] = o.readings.valueOr(q.quantity, NAN);
    r.sky = o.readings.sky;
    r.raining = o.raining;
    r.cloudy = o.cloudy;
    r.daylight = o.daylight;
    r.windy = o.windy;
    r.heater = o.heater;
    r.relay = o.relay;
    r.board = board;
    if (safety.known) {
        r.safe = safety.safe;
        for (const UnsafeCondition &u : safety.unsafe)
            r.unsafe << u.name;
    }
    return r;
}
