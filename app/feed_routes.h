// The INDI weather feeds on the HTTP endpoint, read from the watch at each request.
#pragma once

class AlpacaServer;
class WatchFeed;

// GET /tarnwick/v1/indi/watcher (text for indi_watcher_weather) and
// GET /tarnwick/v1/indi/safety (JSON for indi_weather_safety_proxy).
void addIndiFeedRoutes(AlpacaServer &server, const WatchFeed &watch);
