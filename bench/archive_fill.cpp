#include "archive_fill.h"

#include "archive/archive.h"
#include "archive/archive_hours.h"
#include "archive/archive_schema.h"

#include <QFileInfo>
#include <cmath>
#include <cstdio>
#include <sqlite3.h>

namespace {

constexpr double kDay = 86400;

// A value of quantity q at t (UTC seconds): a daily swing, a yearly one and a
// quick wobble, about where a station's readings lie.
double valueAt(int q, double t)
{
    static const double base[] = {8, 9, -20, 28, 70, 3, 320, 320, 900, 4, 4, 8};
    static const double swing[] = {6, 6, 8, 8, 20, 4, 5, 5, 120, 3, 3, 5};
    const double day = std::sin(2 * M_PI * t / kDay + q);
    const double year = std::sin(2 * M_PI * t / (365.25 * kDay));
    return base[q] + swing[q] * day + 0.5 * swing[q] * year + 0.3 * std::sin(t / 37.0 + q);
}

bool run(sqlite3 *db, const char *sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) == SQLITE_OK)
        return true;
    std::fprintf(stderr, "archive_fill: %s: %s\n", sql, error ? error : "?");
    sqlite3_free(error);
    return false;
}

bool insertSeconds(sqlite3 *db, qint64 from, qint64 to)
{
    sqlite3_stmt *s = nullptr;
    const QByteArray sql = QStringLiteral("INSERT INTO observations (%1) VALUES (?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,"
                                          "?14,?15,?16,?17,?18,?19,?20,?21,?22,?23)").arg(observationColumns()).toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &s, nullptr) != SQLITE_OK)
        return false;
    for (qint64 t = from; t < to; ++t) {
        int c = 1;
        sqlite3_bind_int64(s, c++, t * 1000);
        for (const QuantityInfo &q : storedQuantities())
            sqlite3_bind_int64(s, c++, std::llround(valueAt(int(q.quantity), double(t)) * q.scale));
        const bool day = std::sin(2 * M_PI * double(t) / kDay) > 0;
        for (int v : {t % 3600 < 600 ? 1 : 0, 0, int((t / 1800) % 3 == 0), int(day), 0, 1, 0, 1, int(!day)})
            sqlite3_bind_int(s, c++, v); // sky, raining, cloudy, daylight, windy, heater, relay, board, safe
        sqlite3_bind_null(s, c++);
        if (sqlite3_step(s) != SQLITE_DONE)
            break;
        sqlite3_reset(s);
    }
    return sqlite3_finalize(s) == SQLITE_OK;
}

// Summary rows of `step` seconds (minutes, or hours) into `table`.
bool insertSummaries(sqlite3 *db, const char *table, int step, qint64 from, qint64 to)
{
    QStringList marks;
    const bool hours = step > 60; // with each mean's count
    for (int i = 1; i <= 2 + 3 * kStoredQuantityCount + 5 + (hours ? kStoredQuantityCount + 1 : 0); ++i)
        marks << QStringLiteral("?%1").arg(i);
    sqlite3_stmt *s = nullptr;
    const QByteArray sql = QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(QLatin1String(table), marks.join(QLatin1Char(','))).toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &s, nullptr) != SQLITE_OK)
        return false;
    for (qint64 t = from; t < to; t += step) {
        int c = 1;
        sqlite3_bind_int64(s, c++, t);
        sqlite3_bind_int(s, c++, step);
        double mean[kStoredQuantityCount];
        for (const QuantityInfo &q : storedQuantities())
            sqlite3_bind_double(s, c++, mean[int(q.quantity)] = std::round(valueAt(int(q.quantity), double(t) + step / 2.0) * q.scale * step) / q.scale / step);
        for (double edge : {step > 60 ? -1.0 : -0.2, step > 60 ? 1.0 : 0.2})
            for (const QuantityInfo &q : storedQuantities())
                sqlite3_bind_double(s, c++, std::round((mean[int(q.quantity)] + edge) * q.scale) / q.scale);
        const bool day = std::sin(2 * M_PI * double(t) / kDay) > 0;
        for (double v : {0.0, (t / 1800) % 3 == 0 ? 1.0 : 0.25, day ? 1.0 : 0.0, 0.0, day ? 0.0 : 1.0})
            sqlite3_bind_double(s, c++, v); // raining, cloudy, daylight, windy, safe
        for (int i = 0; hours && i <= kStoredQuantityCount; ++i)
            sqlite3_bind_int(s, c++, step);
        if (sqlite3_step(s) != SQLITE_DONE)
            break;
        sqlite3_reset(s);
    }
    return sqlite3_finalize(s) == SQLITE_OK;
}

} // namespace

bool fillArchive(const QString &path, int days, int secondDays, int minuteDays, const QDateTime &endUtc)
{
    {
        Archive schema([](const QString &text) { std::fprintf(stderr, "%s\n", qPrintable(text)); });
        if (!schema.open(path))
            return false;
    }
    sqlite3 *db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK)
        return false;
    const qint64 end = endUtc.toSecsSinceEpoch() - 5;
    const qint64 start = (end - qint64(days) * 86400) / 3600 * 3600;
    const qint64 secondsFrom = std::max(start, (end - qint64(std::min(days, secondDays)) * 86400) / 60 * 60);
    const qint64 minutesFrom = std::min(secondsFrom, std::max(start, (end - qint64(minuteDays) * 86400) / 3600 * 3600));
    bool ok = run(db, "PRAGMA synchronous = OFF") && run(db, "BEGIN");
    ok = ok && insertSummaries(db, "hours", 3600, start, minutesFrom) && insertSummaries(db, "minutes", 60, minutesFrom, secondsFrom)
        && insertSeconds(db, secondsFrom, end);
    const QByteArray summarize = summarizeMinutesSql().replace(QStringLiteral(":from"), QString::number(secondsFrom * 1000))
                                     .replace(QStringLiteral(":to"), QString::number(end * 1000)).toUtf8();
    // The hour rows of the minutes, as the writer keeps them.
    const QByteArray hours = rollUpHoursSql(QString::number(minutesFrom), QString::number(end + 3600)).toUtf8();
    const QByteArray rollup = QStringLiteral("UPDATE rollup SET hours_from = %1, rolled_to = (SELECT max(t) FROM minutes)").arg(start).toUtf8();
    ok = ok && run(db, summarize.constData()) && run(db, hours.constData()) && run(db, rollup.constData()) && run(db, "COMMIT")
        && run(db, "PRAGMA wal_checkpoint(TRUNCATE)");
    sqlite3_close(db);
    return ok;
}

qint64 archiveBytes(const QString &path)
{
    return QFileInfo(path).size() + QFileInfo(path + QStringLiteral("-wal")).size();
}
