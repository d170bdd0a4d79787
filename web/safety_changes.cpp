#include "web/safety_changes.h"

#include "archive/archive.h"
#include "archive/archive_query.h"
#include "archive/history_text.h"
#include "web/route_replies.h"

#include <QJsonArray>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrlQuery>
#include <algorithm>

namespace {

QJsonArray names(const QStringList &list)
{
    return QJsonArray::fromStringList(list);
}

QStringList split(const QVariant &v)
{
    return v.isNull() ? QStringList{} : v.toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
}

// A whole number in [low, high] from a parameter, or nothing.
std::optional<int> boundedNumber(const QString &text, int low, int high)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    return ok && v >= low && v <= high ? std::optional<int>(v) : std::nullopt;
}

QJsonObject changesJson(const std::vector<SafetyChange> &changes, const QDateTime &from, const QDateTime &to, int days)
{
    QJsonArray list;
    for (const SafetyChange &c : changes)
        list.append(QJsonObject{{QStringLiteral("time"), isoUtc(c.utc)},
                                {QStringLiteral("safe"), c.safe ? QJsonValue(*c.safe) : QJsonValue()},
                                {QStringLiteral("unsafe"), names(c.unsafe)},
                                {QStringLiteral("before"), names(c.before)}});
    return {{QStringLiteral("from"), isoUtc(from)}, {QStringLiteral("to"), isoUtc(to)},
            {QStringLiteral("days"), days}, {QStringLiteral("changes"), list}};
}

} // namespace

namespace {

// Changes in the observations between scanFromMs and toMs (the time key's
// range), those at or after reportFromMs, newest first, at most `limit`.
void observationChanges(const QSqlDatabase &db, qint64 scanFromMs, qint64 reportFromMs, qint64 toMs, int limit,
                        std::vector<SafetyChange> &out)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(
        "SELECT t, safe, unsafe, before_unsafe FROM ("
        " SELECT t, safe, unsafe, LAG(safe) OVER w AS before_safe, LAG(unsafe) OVER w AS before_unsafe,"
        " ROW_NUMBER() OVER w AS n FROM observations WHERE t >= :from AND t <= :to WINDOW w AS (ORDER BY t))"
        " WHERE n > 1 AND t >= :report AND safe IS NOT before_safe ORDER BY t DESC LIMIT :limit"));
    q.bindValue(QStringLiteral(":from"), scanFromMs);
    q.bindValue(QStringLiteral(":to"), toMs);
    q.bindValue(QStringLiteral(":report"), reportFromMs);
    q.bindValue(QStringLiteral(":limit"), limit);
    if (!q.exec()) {
        qCWarning(lcWeb) << "safety changes:" << q.lastError().text();
        return;
    }
    while (q.next()) {
        SafetyChange c;
        c.utc = QDateTime::fromMSecsSinceEpoch(q.value(0).toLongLong(), Qt::UTC);
        if (!q.value(1).isNull())
            c.safe = q.value(1).toInt() != 0;
        c.unsafe = split(q.value(2));
        c.before = split(q.value(3));
        out.push_back(std::move(c));
    }
}

// Minutes (start, and the start of the minute row before) in which the
// verdict may have changed: mixed, or not the same as the minute before (also
// the minute after a mixed one, which may hold none); newest first.
std::vector<std::pair<qint64, qint64>> changedMinutes(const QSqlDatabase &db, qint64 fromS, qint64 toS, int limit)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(
        "SELECT t, before_t FROM ("
        " SELECT t, safe, LAG(safe) OVER w AS before_safe, LAG(t) OVER w AS before_t FROM minutes"
        " WHERE t >= :from AND t <= :to WINDOW w AS (ORDER BY t))"
        " WHERE before_t IS NOT NULL AND ((safe > 0 AND safe < 1) OR safe IS NOT before_safe) ORDER BY t DESC LIMIT :limit"));
    q.bindValue(QStringLiteral(":from"), fromS);
    q.bindValue(QStringLiteral(":to"), toS);
    q.bindValue(QStringLiteral(":limit"), limit);
    std::vector<std::pair<qint64, qint64>> out;
    if (!q.exec())
        qCWarning(lcWeb) << "safety changes:" << q.lastError().text();
    while (q.next())
        out.emplace_back(q.value(0).toLongLong(), q.value(1).toLongLong());
    return out;
}

qint64 lastMinuteStart(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    return q.exec(QStringLiteral("SELECT max(t) FROM minutes")) && q.next() && !q.value(0).isNull()
        ? q.value(0).toLongLong() : -1;
}

} // namespace

std::vector<SafetyChange> querySafetyChanges(const QSqlDatabase &db, const QDateTime &fromUtc, const QDateTime &toUtc,
                                             int limit)
{
    // The minute rows point at the minutes that hold a change, so that only
    // those minutes' observations are read, besides the minute under way
    // (not summarized yet, and never more than the last hour).
    const qint64 fromMs = fromUtc.toMSecsSinceEpoch(), toMs = toUtc.toMSecsSinceEpoch();
    const qint64 lastMinute = lastMinuteStart(db);
    const qint64 tailFrom = std::max({fromMs, toMs - 3600 * 1000, (lastMinute + 60) * 1000});
    std::vector<SafetyChange> out;
    observationChanges(db, std::max(fromMs, tailFrom - 60 * 1000), tailFrom, toMs, limit, out);
    // A change in a minute of its own makes at most two such minutes.
    for (const auto &[minute, before] : changedMinutes(db, fromMs / 1000, std::min(toMs, tailFrom - 1) / 1000, 2 * limit + 2)) {
        if (int(out.size()) >= limit)
            break;
        observationChanges(db, std::max(fromMs, before * 1000), std::max(fromMs, minute * 1000),
                           std::min(toMs, minute * 1000 + 59999), limit - int(out.size()), out);
    }
    return out;
}

HttpRouteReply answerSafetyChanges(const HttpRouteRequest &request, Archive *archive, const QDateTime &nowUtc)
{
    if (!readOnly(request))
        return error(405, QStringLiteral("the web page is read-only"));
    int limit = 10, days = 7;
    for (const auto &[name, value] : QUrlQuery(QString::fromUtf8(request.query)).queryItems(QUrl::FullyDecoded)) {
        std::optional<int> n;
        if (name == QLatin1String("limit") && (n = boundedNumber(value, 1, 50)))
            limit = *n;
        else if (name == QLatin1String("days") && (n = boundedNumber(value, 1, 7)))
            days = *n;
        else
            return error(400, QStringLiteral("\"%1=%2\" is not limit=1..50 or days=1..7").arg(name, value));
    }
    if (!archive || !archive->isOpen())
        return error(503, QStringLiteral("this program keeps no archive (started with --no-archive, or it could not be opened)"));
    archive->flush();
    HttpRouteReply reply;
    reply.later = [path = archive->path(), from = nowUtc.addDays(-days), to = nowUtc, limit, days] {
        ArchiveReader reader;
        QString why;
        if (!reader.open(path, why))
            return error(503, QStringLiteral("the archive cannot be read: %1").arg(why));
        return json(200, changesJson(querySafetyChanges(reader.database(), from, to, limit), from, to, days));
    };
    return reply;
}
