// The web page on the HTTP endpoint beside the Alpaca devices: the page and
// its files ("/"), the live status ("/tarnwick/v1/live") and the archive
// ("/tarnwick/v1/history"). Read-only: nothing here changes the program.
#pragma once

#include "core/http_route.h"
#include "web/live_cache.h"
#include "web/live_extras.h"

#include "archive/archived_observation.h"

#include <QDateTime>
#include <QJsonArray>
#include <functional>
#include <vector>

class Archive;
struct WatchStatus;
class WatchFeed;

HttpRouteReply answerPage(const HttpRouteRequest &request);
// The live answer: the board, the verdict, the last live reading with its
// counts in words and its freshness, today's highs and lows and the trends
// from the archive (when there is one), and the night at the site; those
// kept in `cache` while they stay the same.
HttpRouteReply answerLive(const HttpRouteRequest &request, const WatchStatus &status, const QDateTime &nowUtc,
                          const Archive *archive = nullptr, const LiveRules &rules = {}, LiveExtrasCache *cache = nullptr);
// archive may be null (--no-archive, or it could not be opened).
// ?from=&to= as "history" takes them (ISO UTC, "6h", "now"), &step= seconds,
// &format=json|csv. Steps under 60 s (from observation rows) cover at most
// 6 hours; at most 20000 steps. With a site, "dark" tells for each step
// whether the Sun was 18° or more below the horizon at its middle.
// The rows are read on a worker thread (the reply's `later`); the open batch
// is committed first.
HttpRouteReply answerHistory(const HttpRouteRequest &request, Archive *archive, const QDateTime &nowUtc,
                             const SiteLocation &site = {});
// The summaries as the history route sends them (JSON columns or CSV).
HttpRouteReply summaryReply(const std::vector<ArchiveSummary> &rows, const QDateTime &from, const QDateTime &to,
                            int step, bool csv, const SiteLocation &site = {});

using AddRoute = std::function<void(const QString &path, HttpRouteHandler handler)>;
// The upload services' states for "/tarnwick/v1/live": one {"service", "state"} object each.
using UploadStates = std::function<QJsonArray()>;
// settings may be null (the defaults); read on every question, so a change
// made in the setup dialog shows at once.
void installWebRoutes(const AddRoute &addRoute, const WatchFeed &watch, Archive *archive,
                      const Settings *settings = nullptr, UploadStates uploads = {});

// The live answer with the upload services' states added as "uploads".
HttpRouteReply withUploadStates(HttpRouteReply live, const QJsonArray &uploads);
