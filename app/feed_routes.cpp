#include "app/feed_routes.h"

#include "app/program.h"
#include "watch/watch_status.h"
#include "feeds/indi_feeds.h"
#include "alpaca/alpaca_server.h"

namespace {
FeedSettings currentFeedSettings()
{
    const Settings &s = prog().settings;
    FeedSettings f;
    f.staleAfterSeconds = staleLimitSeconds(s);
    return f;
}

HttpRouteReply reply(const HttpRouteRequest &request, QByteArray contentType, QByteArray body)
{
    if (request.method != "GET" && request.method != "HEAD")
        return {405, "text/plain; charset=utf-8", "Only GET is served here\n"};
    return {200, std::move(contentType), std::move(body)};
}
} // namespace

void addIndiFeedRoutes(AlpacaServer &server, const WatchFeed &watch)
{
    server.addRoute(QStringLiteral("/tarnwick/v1/indi/watcher"), [&watch](const HttpRouteRequest &r) {
        return reply(r, "text/plain; charset=utf-8",
                     watcherFeed(watch.status(), QDateTime::currentDateTimeUtc(), currentFeedSettings()));
    });
    server.addRoute(QStringLiteral("/tarnwick/v1/indi/safety"), [&watch](const HttpRouteRequest &r) {
        return reply(r, "application/json",
                     safetyFeed(watch.status(), QDateTime::currentDateTimeUtc(), currentFeedSettings()));
    });
}
