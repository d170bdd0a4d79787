// The web page on the HTTP endpoint beside the Alpaca devices: the page and
// its files ("/"), the live status ("/tarnwick/v1/live") and the archive
// ("/tarnwick/v1/history"). Read-only: nothing here changes the program.
#pragma once

#include "core/http_route.h"

#include <QDateTime>
#include <QJsonArray>
#include <functional>

class Archive;
struct WatchStatus;
class WatchFeed;

HttpRouteReply answerPage(const HttpRouteRequest &request);
HttpRouteReply answerLive(const HttpRouteRequest &request, const WatchStatus &status, const QDateTime &nowUtc);
// archive may be null (--no-archive, or it could not be opened).
// ?from=&to= as "history" takes them (ISO UTC, "6h", "now"), &step= seconds,
// &format=json|csv. Steps under 60 s (from observation rows) cover at most
// 6 hours; at most 20000 steps.
HttpRouteReply answerHistory(const HttpRouteRequest &request, const Archive *archive, const QDateTime &nowUtc);

using AddRoute = std::function<void(const QString &path, HttpRouteHandler handler)>;
// The upload services' states for "/tarnwick/v1/live": one {"service", "state"} object each.
using UploadStates = std::function<QJsonArray()>;
void installWebRoutes(const AddRoute &addRoute, const WatchFeed &watch, const Archive *archive,
                      UploadStates uploads = {});

// The live answer with the upload services' states added as "uploads".
HttpRouteReply withUploadStates(HttpRouteReply live, const QJsonArray &uploads);
