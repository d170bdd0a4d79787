// The login routes on the endpoint: /login, /logout and /tarnwick/v1/session.
#pragma once

#include "auth/auth_service.h"

#include <functional>
#include <memory>

using AddAuthRoute = std::function<void(const QString &path, HttpRouteHandler handler)>;

void installAuthRoutes(const AddAuthRoute &addRoute, const std::shared_ptr<AuthService> &auth);
