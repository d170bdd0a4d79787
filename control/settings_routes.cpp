#include "control/settings_routes.h"

#include "control/settings_service.h"
#include "control/settings_view.h"
#include "core/setting_rules.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

namespace {

constexpr qsizetype kMaxBody = 32 * 1024; // the server itself closes at 64 KiB a request

HttpRouteReply json(int status, const QJsonObject &o)
{
    return {status, "application/json", QJsonDocument(o).toJson(QJsonDocument::Compact)};
}

HttpRouteReply problem(int status, const QString &message)
{
    return json(status, {{QStringLiteral("message"), message}});
}

// "::ffff:127.0.0.1" as "127.0.0.1".
QHostAddress plainAddress(const QString &peer)
{
    const QHostAddress address(peer);
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4) : address;
}

bool fromLoopback(const QString &peer)
{
    return plainAddress(peer).isLoopback();
}

// A page of another site may post to this one from the user's own browser:
// an Origin that is not this server's is refused.
bool foreignOrigin(const HttpRouteRequest &request)
{
    const QByteArray origin = request.header("Origin");
    if (origin.isEmpty())
        return false;
    const QUrl url(QString::fromLatin1(origin));
    const QString host = url.port() >= 0 ? url.host() + QLatin1Char(':') + QString::number(url.port()) : url.host();
    return host.compare(QString::fromLatin1(request.header("Host")), Qt::CaseInsensitive) != 0;
}

HttpRouteReply post(const HttpRouteRequest &request, SettingsService &service)
{
    if (request.body.size() > kMaxBody)
        return problem(413, QStringLiteral("at most %1 bytes of settings at once").arg(kMaxBody));
    if (!request.header("Content-Type").trimmed().toLower().startsWith("application/json"))
        return problem(415, QStringLiteral("settings are sent as application/json"));
    if (foreignOrigin(request))
        return problem(403, QStringLiteral("settings can be changed only from this program's own page"));
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(request.body, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return problem(400, QStringLiteral("the body must be one JSON object of setting names and texts"));
    SettingChanges changes;
    const QJsonObject values = doc.object();
    for (auto it = values.begin(); it != values.end(); ++it) {
        // The page changes the settings it shows; the rest is "tarnwick config"'s.
        if (!findRule(it.key()))
            return json(400, {{QStringLiteral("field"), it.key()},
                              {QStringLiteral("message"), QStringLiteral("\"%1\" is no setting of this page").arg(it.key())}});
        if (!it.value().isString())
            return json(400, {{QStringLiteral("field"), it.key()},
                              {QStringLiteral("message"), QStringLiteral("%1: the value must be text").arg(it.key())}});
        changes.append({it.key(), it.value().toString()});
    }
    const SettingsOutcome outcome = service.apply(changes, QStringLiteral("web %1").arg(plainAddress(request.peer).toString()));
    const int status = outcome.status == SettingsOutcome::Status::Applied   ? 200
                       : outcome.status == SettingsOutcome::Status::Refused ? 400
                                                                            : 500;
    return json(status, outcome.toJson());
}

} // namespace

std::optional<HttpRouteReply> loopbackOnlyGate(const HttpRouteRequest &request)
{
    const bool proxied = !request.header("X-Forwarded-For").isEmpty() || !request.header("Forwarded").isEmpty();
    if (fromLoopback(request.peer) && !proxied)
        return std::nullopt;
    HttpRouteReply refused = problem(403, QStringLiteral("Settings can be changed only from this computer until a "
                                                         "password is set (tarnwick config set-password)"));
    return refused;
}

HttpRouteReply answerSettings(const HttpRouteRequest &request, SettingsService &service, const SettingsGate &gate)
{
    if (request.path != QLatin1String("/tarnwick/v1/settings"))
        return problem(404, QStringLiteral("no settings at %1").arg(request.path));
    if (request.method == "GET" || request.method == "HEAD")
        return json(200, describeSettings(service));
    if (request.method != "POST")
        return problem(405, QStringLiteral("settings are read with GET and changed with POST"));
    if (gate) {
        if (std::optional<HttpRouteReply> refused = gate(request))
            return *refused;
    }
    return post(request, service);
}

void installSettingsRoutes(const AddSettingsRoute &addRoute, SettingsService &service, SettingsGate gate)
{
    addRoute(QStringLiteral("/tarnwick/v1/settings"),
             [&service, gate](const HttpRouteRequest &r) { return answerSettings(r, service, gate); });
}
