// What a request says about its client: whether it came through a proxy or
// from this machine, its address for the login limit and the log, whether its
// Origin (or Referer) is this server, its cookie, form fields and Basic
// credentials.
#pragma once

#include "core/http_route.h"

#include <QByteArray>
#include <QString>
#include <optional>

bool isReadOnlyMethod(const QByteArray &method);
// A proxy in front says so (X-Forwarded-For, Forwarded, X-Real-IP): then the
// peer is the proxy, and the client is not to be trusted as this machine.
bool cameThroughProxy(const HttpRouteRequest &request);
// The peer is a loopback address and no proxy speaks for anyone else.
bool isLoopbackClient(const HttpRouteRequest &request);
// The client's address: the one the proxy on this machine added last when
// the request came through it, else the peer.
QString clientAddress(const HttpRouteRequest &request);
// For the log: "192.0.2.7", or "192.0.2.7 via 127.0.0.1" through a proxy.
QString clientLabel(const HttpRouteRequest &request);

// Empty when the request's Origin (or, lacking one, its Referer) is this
// server as named by the Host header, or it sends neither; else why not.
QString foreignOrigin(const HttpRouteRequest &request);
// scheme://host[:port] of a URL compared to a Host header (default ports equal).
bool sameAuthority(const QByteArray &url, const QByteArray &hostHeader);

QByteArray cookieValue(const HttpRouteRequest &request, const QByteArray &name);
// A field of an application/x-www-form-urlencoded body ("+" is a space);
// nothing when absent or the body is no form.
std::optional<QByteArray> formField(const HttpRouteRequest &request, const QByteArray &name);
bool isFormBody(const HttpRouteRequest &request);
// The password of an "Authorization: Basic" header (the user name is not used).
std::optional<QByteArray> basicPassword(const HttpRouteRequest &request);
