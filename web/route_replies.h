// The pieces every JSON route of the page answers with.
#pragma once

#include "core/http_route.h"
#include "web/web_logging.h"

#include <QJsonDocument>
#include <QJsonObject>

inline HttpRouteReply json(int status, const QJsonObject &body)
{
    return {status, "application/json", QJsonDocument(body).toJson(QJsonDocument::Compact)};
}

inline HttpRouteReply error(int status, const QString &why)
{
    qCDebug(lcWeb) << "refused" << status << why;
    return json(status, QJsonObject{{QStringLiteral("error"), why}});
}

inline bool readOnly(const HttpRouteRequest &r)
{
    return r.method == "GET" || r.method == "HEAD";
}
