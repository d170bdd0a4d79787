#include "app/sky_history_routes.h"

#include "alpaca/alpaca_server.h"
#include "app/app.h"
#include "app/program.h"
#include "app/sky_history_commands.h"
#include "archive/archive.h"
#include "archive/archive_query.h"
#include "sky_history/calibration_text.h"
#include "sky_history/night_text.h"

#include <QJsonDocument>
#include <QUrlQuery>

namespace {

HttpRouteReply json(int status, const QJsonObject &body)
{
    return {status, "application/json", QJsonDocument(body).toJson(QJsonDocument::Compact)};
}

HttpRouteReply error(int status, const QString &why)
{
    return json(status, QJsonObject{{QStringLiteral("error"), why}});
}

// The one whole-number parameter a route takes, or the refusal.
std::optional<HttpRouteReply> readCount(const HttpRouteRequest &request, const QString &name, int &value)
{
    if (request.method != "GET" && request.method != "HEAD")
        return error(405, QStringLiteral("only GET is served here"));
    for (const auto &[key, text] : QUrlQuery(QString::fromUtf8(request.query)).queryItems(QUrl::FullyDecoded)) {
        if (key != name)
            return error(400, QStringLiteral("unknown parameter \"%1\" (%2)").arg(key, name));
        bool ok = false;
        value = text.toInt(&ok);
        if (!ok || value < 1)
            return error(400, QStringLiteral("%1 \"%2\" is not a whole number from 1").arg(name, text));
        value = std::min(value, kMaxNights);
    }
    return std::nullopt;
}

// Refusals that need no reading, else empty.
std::optional<HttpRouteReply> unreadable(Archive *archive, const SiteLocation &site)
{
    if (!archive || !archive->isOpen())
        return error(503, QStringLiteral("this program keeps no archive (started with --no-archive, or it could not be opened)"));
    if (!site.known)
        return error(503, site.problem.isEmpty() ? QStringLiteral("the site is not set (Latitude and Longitude)") : site.problem);
    return std::nullopt;
}

// Runs `read` on its own read-only connection, after the open batch is committed.
template <typename Read>
HttpRouteReply later(Archive *archive, Read read)
{
    archive->flush();
    HttpRouteReply reply;
    reply.later = [path = archive->path(), read] {
        ArchiveReader reader;
        QString why;
        if (!reader.open(path, why))
            return error(503, QStringLiteral("the archive cannot be read: %1").arg(why));
        return json(200, read(reader.database()));
    };
    return reply;
}

} // namespace

HttpRouteReply answerNights(const HttpRouteRequest &request, Archive *archive, const SiteLocation &site,
                            const QDateTime &nowUtc)
{
    int days = 365;
    if (auto refused = readCount(request, QStringLiteral("days"), days))
        return *refused;
    if (auto refused = unreadable(archive, site))
        return *refused;
    return later(archive, [site, nowUtc, days](const QSqlDatabase &db) {
        return nightsJson(queryNights(db, site, nowUtc, days));
    });
}

HttpRouteReply answerSkyCalibration(const HttpRouteRequest &request, Archive *archive, const Settings &settings,
                                    const QDateTime &nowUtc)
{
    int nights = 60;
    if (auto refused = readCount(request, QStringLiteral("nights"), nights))
        return *refused;
    const SiteLocation site = siteLocation(settings);
    if (auto refused = unreadable(archive, site))
        return *refused;
    return later(archive, [site, current = skySettingsOf(settings), nowUtc, nights](const QSqlDatabase &db) {
        return calibrationJson(calibrateFrom(darkSkyMinutes(db, site, nowUtc, nights), current, nights));
    });
}

void addSkyHistoryRoutes(App &app)
{
    AlpacaServer *server = app.alpaca.get();
    if (!server)
        return;
    Archive *archive = app.archive.get();
    server->addRoute(QStringLiteral("/tarnwick/v1/nights"), [archive](const HttpRouteRequest &r) {
        return answerNights(r, archive, siteLocation(prog().settings), QDateTime::currentDateTimeUtc());
    });
    server->addRoute(QStringLiteral("/tarnwick/v1/sky-calibration"), [archive](const HttpRouteRequest &r) {
        return answerSkyCalibration(r, archive, prog().settings, QDateTime::currentDateTimeUtc());
    });
}
