// The settings on the HTTP endpoint: GET /tarnwick/v1/settings describes them
// (secrets only as set or not), POST takes a JSON object of key -> text and
// applies it through the settings service, whole or not at all. A gate
// decides who may change settings.
#pragma once

#include "core/http_route.h"

#include <functional>
#include <optional>

class SettingsService;

// nullopt: the request may change settings; otherwise the answer to send instead.
using SettingsGate = std::function<std::optional<HttpRouteReply>(const HttpRouteRequest &)>;
using AddSettingsRoute = std::function<void(const QString &path, HttpRouteHandler handler)>;

// Until a password is set: only a browser on this computer, not through a proxy.
std::optional<HttpRouteReply> loopbackOnlyGate(const HttpRouteRequest &request);

HttpRouteReply answerSettings(const HttpRouteRequest &request, SettingsService &service, const SettingsGate &gate);

void installSettingsRoutes(const AddSettingsRoute &addRoute, SettingsService &service, SettingsGate gate);
