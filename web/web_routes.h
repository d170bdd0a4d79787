// The web page on the HTTP endpoint beside the Alpaca devices: the page and
// its files ("/"), the live status ("/tarnwick/v1/live") and the archive
// ("/tarnwick/v1/history"). Read-only: nothing here changes the program.
#pragma once

#include "core/http_route.h"

#include "archive/archived_observation.h"

#include <QDateTime>
#include <vector>
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
// The rows are read on a worker thread (the reply's `later`); the open batch
// is committed first.
HttpRouteReply answerHistory(const HttpRouteRequest &request, Archive *archive, const QDateTime &nowUtc);
// The summaries as the history route sends them (JSON columns or CSV).
HttpRouteReply summaryReply(const std::vector<ArchiveSummary> &rows, const QDateTime &from, const QDateTime &to,
                            int step, bool csv);

using AddRoute = std::function<void(const QString &path, HttpRouteHandler handler)>;
void installWebRoutes(const AddRoute &addRoute, const WatchFeed &watch, Archive *archive);
