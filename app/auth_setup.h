// Who may change what on the HTTP endpoint: the HTTPS choice read before it
// starts, then the login routes and the gate every request passes, from the
// profile's Web/ settings and password hash.
#pragma once

#include "core/http_route.h"

#include <QSslConfiguration>
#include <functional>
#include <optional>

class AlpacaServer;
class App;
class ProfileStore;

// The endpoint's TLS from Web/CertificateFile and Web/KeyFile (nothing: plain
// HTTP). False, after telling the user why, when HTTPS was asked for and the
// files cannot be served: the endpoint then does not start rather than
// serve plain HTTP.
bool endpointTlsChoice(const ProfileStore *profile, std::optional<QSslConfiguration> &tls);
// Makes the service (kept in App::auth), adds /login, /logout and
// /tarnwick/v1/session, and sets the server's request gate.
void setUpAuth(App &app, AlpacaServer &server);
// For a route that changes state, such as the settings: nothing when the
// request may go on, else the refusal to send. Refuses everything when there
// is no endpoint (no auth service).
std::function<std::optional<HttpRouteReply>(const HttpRouteRequest &)> changeGate(App &app);
