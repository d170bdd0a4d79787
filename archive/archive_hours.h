// Hour rows beside the minute rows: their columns and each mean's count, one row an hour, made
// from the hour's minute rows whenever one of them is written. Long spans
// (a year of history) read them instead of sixty times as many minute rows,
// and minute rows older than the minute retention go once their hour stands
// for them. The tables are added beside the others (a program that does not
// know them reads the file as before); `rollup` holds from which hour on the
// hour rows are complete, and which minute was the last rolled up.
#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>

// Spans longer than this read hour rows when their steps are whole hours (as
// does any span that begins where the minute rows are gone).
inline constexpr qint64 kHoursAfterSeconds = 8 * 86400;

// Summaries over steps of whole hours: minute rows from fromSeconds to
// hoursFrom, hour rows to hoursTo, minute rows again up to toSeconds.
QString longSpanSummariesSql(int step, qint64 fromSeconds, qint64 hoursFrom, qint64 hoursTo, qint64 toSeconds);
// The hour rows of the minute rows from fromSeconds to toSeconds (numbers or placeholders).
QString rollUpHoursSql(const QString &fromSeconds, const QString &toSeconds);
// For readers: the hours [fromSeconds, toSeconds) for which hour rows stand
// for the minutes; false when the file has none (made by a program that
// knows no hour rows).
bool hourRowsFrom(const QSqlDatabase &db, qint64 &fromSeconds, qint64 &toSeconds);

class HourRollup {
public:
    // Adds the tables when missing and brings the hours of minutes written
    // since the last roll-up (by this program or an older one) up to date.
    bool open(QSqlDatabase &db, QString &error);
    // The hours of the minute rows in [fromSeconds, toSeconds) again.
    bool rollUp(qint64 fromSeconds, qint64 toSeconds);
    // One day more of hours before `from` (older minute rows of a file made
    // before hour rows were kept), while there are any; false on failure.
    bool rollUpOlderDay();
    // Deletes minute rows older than beforeSeconds whose hours stand for them,
    // a week of them at most.
    bool pruneMinutes(qint64 beforeSeconds);
    QString error() const { return m_error; }

private:
    bool setFrom(qint64 fromSeconds);

    QSqlDatabase m_db;
    QSqlQuery m_roll;
    qint64 m_from = 0;          // hour rows complete from here on
    qint64 m_oldestMinute = 0;  // the oldest minute row when opened
    QString m_error;
};
