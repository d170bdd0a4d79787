#include "archive/archive_hours.h"

#include "archive/archive_query.h"
#include "archive/archived_observation.h"

#include <QSqlError>
#include <QStringList>
#include <QVariant>
#include <algorithm>

namespace {

bool exec(QSqlQuery &q, const QString &sql, QString &error)
{
    if (q.exec(sql))
        return true;
    error = q.lastError().text();
    return false;
}

qint64 single(QSqlDatabase &db, const QString &sql, qint64 otherwise)
{
    QSqlQuery q(db);
    return q.exec(sql) && q.next() && !q.value(0).isNull() ? q.value(0).toLongLong() : otherwise;
}

QString key(int i)
{
    return QString::fromLatin1(archiveValueInfo(archiveValueAt(i)).key);
}

const char *const kFlags[] = {"raining", "cloudy", "daylight", "windy"};

// The hour table: the minute table's columns, and how many of the hour's
// observations each mean and the safe share stand for (a minute whose value
// was not measured does not weigh in its mean).
QString createHoursSql()
{
    QStringList cols{QStringLiteral("t INTEGER PRIMARY KEY"), QStringLiteral("n INTEGER")};
    for (const char *part : {"_mean", "_min", "_max"})
        for (int i = 0; i < kArchiveValueCount; ++i)
            cols << key(i) + QLatin1String(part) + QStringLiteral(" REAL");
    for (const char *flag : kFlags)
        cols << QLatin1String(flag) + QStringLiteral(" REAL");
    cols << QStringLiteral("safe REAL");
    for (int i = 0; i < kArchiveValueCount; ++i)
        cols << key(i) + QStringLiteral("_n INTEGER");
    cols << QStringLiteral("safe_n INTEGER");
    return QStringLiteral("CREATE TABLE IF NOT EXISTS hours (%1)").arg(cols.join(QStringLiteral(", ")));
}

// Minute rows in the hour table's columns.
QString minutesAsHoursSql(const QString &condition)
{
    QStringList cols{QStringLiteral("t"), QStringLiteral("n")};
    for (const char *part : {"_mean", "_min", "_max"})
        for (int i = 0; i < kArchiveValueCount; ++i)
            cols << key(i) + QLatin1String(part);
    for (const char *flag : kFlags)
        cols << QLatin1String(flag);
    cols << QStringLiteral("safe");
    for (int i = 0; i < kArchiveValueCount; ++i)
        cols << QStringLiteral("CASE WHEN %1_mean IS NOT NULL THEN n END AS %1_n").arg(key(i));
    cols << QStringLiteral("CASE WHEN safe IS NOT NULL THEN n END AS safe_n");
    return QStringLiteral("SELECT %1 FROM minutes WHERE %2").arg(cols.join(QStringLiteral(", ")), condition);
}

// Summaries over steps of rows in the hour table's columns, each mean weighed
// by its own count; with the counts too when `counts`.
QString weighedSummariesSql(int step, const QString &rows, bool counts)
{
    QStringList exprs{QStringLiteral("(t / %1) * %1").arg(step), QStringLiteral("sum(n)")};
    for (int i = 0; i < kArchiveValueCount; ++i)
        exprs << QStringLiteral("sum(%1_mean * %1_n) / sum(%1_n)").arg(key(i));
    for (const char *agg : {"min", "max"})
        for (int i = 0; i < kArchiveValueCount; ++i)
            exprs << QStringLiteral("%1(%2_%1)").arg(QLatin1String(agg), key(i));
    for (const char *flag : kFlags)
        exprs << QStringLiteral("sum(%1 * n) / sum(n)").arg(QLatin1String(flag));
    exprs << QStringLiteral("sum(safe * safe_n) / sum(safe_n)");
    if (counts) {
        for (int i = 0; i < kArchiveValueCount; ++i)
            exprs << QStringLiteral("sum(%1_n)").arg(key(i));
        exprs << QStringLiteral("sum(safe_n)");
    }
    return QStringLiteral("SELECT %1 FROM (%2) GROUP BY 1 ORDER BY 1").arg(exprs.join(QStringLiteral(", ")), rows);
}

} // namespace

QString rollUpHoursSql(const QString &fromSeconds, const QString &toSeconds)
{
    return QStringLiteral("INSERT OR REPLACE INTO hours %1")
        .arg(weighedSummariesSql(3600, minutesAsHoursSql(QStringLiteral("t >= %1 AND t < %2").arg(fromSeconds, toSeconds)), true));
}

QString longSpanSummariesSql(int step, qint64 fromSeconds, qint64 hoursFrom, qint64 hoursTo, qint64 toSeconds)
{
    const QString rows = minutesAsHoursSql(QStringLiteral("t >= %1 AND t < %2").arg(fromSeconds).arg(hoursFrom))
        + QStringLiteral(" UNION ALL SELECT * FROM hours WHERE t >= %1 AND t < %2 UNION ALL ").arg(hoursFrom).arg(hoursTo)
        + minutesAsHoursSql(QStringLiteral("t >= %1 AND t <= %2").arg(hoursTo).arg(toSeconds));
    return weighedSummariesSql(step, rows, false);
}

bool hourRowsFrom(const QSqlDatabase &db, qint64 &fromSeconds, qint64 &toSeconds)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT hours_from, rolled_to FROM rollup")) || !q.next())
        return false;
    fromSeconds = q.value(0).toLongLong();
    // The hour of the last minute rolled up may have more minutes since.
    toSeconds = q.value(1).toLongLong() / 3600 * 3600;
    return true;
}

bool HourRollup::open(QSqlDatabase &db, QString &error)
{
    m_db = db;
    QSqlQuery q(db);
    const QString create = createHoursSql();
    // A file without hour rows yet: they are complete after its newest minute.
    const qint64 newest = single(db, QStringLiteral("SELECT max(t) FROM minutes"), -1);
    if (!exec(q, create, error)
        || !exec(q, QStringLiteral("CREATE TABLE IF NOT EXISTS rollup (hours_from INTEGER NOT NULL, rolled_to INTEGER NOT NULL)"), error))
        return false;
    if (single(db, QStringLiteral("SELECT count(*) FROM rollup"), 0) == 0) {
        const qint64 from = newest < 0 ? 0 : newest / 3600 * 3600 + 3600;
        if (!exec(q, QStringLiteral("INSERT INTO rollup VALUES (%1, %2)").arg(from).arg(newest), error))
            return false;
    }
    m_roll = QSqlQuery(db);
    m_roll.prepare(rollUpHoursSql(QStringLiteral(":from"), QStringLiteral(":to")));
    m_from = single(db, QStringLiteral("SELECT hours_from FROM rollup"), 0);
    m_oldestMinute = single(db, QStringLiteral("SELECT min(t) FROM minutes"), m_from);
    // Minutes written since the last roll-up (the last run's final ones, or
    // an older program's): their hours again.
    const qint64 rolledTo = single(db, QStringLiteral("SELECT rolled_to FROM rollup"), -1);
    if (rolledTo < 0 && newest >= 0) {
        // Minute rows came in from elsewhere while none had been rolled up:
        // hour rows stand for nothing yet, older minutes are rolled up by the day.
        m_from = newest / 3600 * 3600 + 3600;
        if (!exec(q, QStringLiteral("DELETE FROM hours"), error)
            || !exec(q, QStringLiteral("UPDATE rollup SET hours_from = %1, rolled_to = %2").arg(m_from).arg(newest), error))
            return false;
    } else if (newest > rolledTo && !rollUp(rolledTo / 3600 * 3600, newest + 60)) {
        error = m_error;
        return false;
    }
    return true;
}

bool HourRollup::rollUp(qint64 fromSeconds, qint64 toSeconds)
{
    const qint64 from = fromSeconds / 3600 * 3600, to = (toSeconds + 3599) / 3600 * 3600;
    m_roll.bindValue(QStringLiteral(":from"), from);
    m_roll.bindValue(QStringLiteral(":to"), to);
    QSqlQuery mark(m_db);
    if (!m_roll.exec() || !mark.exec(QStringLiteral("UPDATE rollup SET rolled_to = max(rolled_to, %1)").arg(toSeconds - 60))) {
        m_error = m_roll.lastError().text() + mark.lastError().text();
        return false;
    }
    return true;
}

bool HourRollup::setFrom(qint64 fromSeconds)
{
    QSqlQuery q(m_db);
    if (!exec(q, QStringLiteral("UPDATE rollup SET hours_from = %1").arg(fromSeconds), m_error))
        return false;
    m_from = fromSeconds;
    return true;
}

bool HourRollup::rollUpOlderDay()
{
    if (m_from <= m_oldestMinute / 3600 * 3600)
        return true;
    const qint64 from = std::max(m_oldestMinute / 3600 * 3600, m_from - 86400);
    m_roll.bindValue(QStringLiteral(":from"), from);
    m_roll.bindValue(QStringLiteral(":to"), m_from);
    if (!m_roll.exec()) {
        m_error = m_roll.lastError().text();
        return false;
    }
    return setFrom(from);
}

bool HourRollup::pruneMinutes(qint64 beforeSeconds)
{
    // The oldest week at a time: a file that has just come under the
    // retention loses its old minutes over some runs of this, never in one long stop.
    const qint64 before = beforeSeconds / 3600 * 3600;
    if (before <= m_from)
        return true;
    QSqlQuery q(m_db);
    return exec(q, QStringLiteral("DELETE FROM minutes WHERE t >= %1 AND t < %2 AND t < "
                                  "(SELECT coalesce(min(t), 0) FROM minutes WHERE t >= %1) + 7 * 86400")
                       .arg(m_from).arg(before),
                m_error);
}
