#include "app/auth_setup.h"

#include "alpaca/alpaca_server.h"
#include "app/app.h"
#include "app/program.h"
#include "auth/auth_routes.h"
#include "auth/auth_service.h"
#include "auth/password_hash.h"
#include "auth/tls_files.h"
#include "core/messages.h"
#include "core/profile_store.h"
#include "core/number_format.h"
#include "core/settings.h"

namespace {
QString webValue(const ProfileStore *profile, const QString &key)
{
    return profile ? profile->value(kDriverId, key, kWebSubKey).trimmed() : QString();
}
} // namespace

bool endpointTlsChoice(const ProfileStore *profile, std::optional<QSslConfiguration> &tls)
{
    const EndpointTls loaded = loadEndpointTls(webValue(profile, kCertificateFileKey), webValue(profile, kKeyFileKey));
    if (loaded.wanted && !loaded.configuration) {
        showMessage(QStringLiteral("The HTTP endpoint was not started: HTTPS is asked for, but %1. Correct "
                                   "Web/CertificateFile and Web/KeyFile, or empty both for plain HTTP.")
                        .arg(loaded.error),
                    QStringLiteral("Tarnwick"), MsgIcon::Exclamation);
        return false;
    }
    if (!loaded.warning.isEmpty())
        printNotice(loaded.warning);
    tls = loaded.configuration;
    return true;
}

void setUpAuth(App &app, AlpacaServer &server)
{
    const ProfileStore *profile = prog().profile;
    AuthOptions options;
    options.passwordHash = webValue(profile, kPasswordHashKey).toLatin1();
    options.https = server.servesTls();
    try {
        options.loginToRead = boolFromText(webValue(profile, QStringLiteral("LoginToRead")));
    } catch (const ConversionError &) {
        options.loginToRead = false;
    }
    if (!options.passwordHash.isEmpty() && !isPasswordHash(options.passwordHash))
        printNotice(QStringLiteral("Web/PasswordHash holds no password hash, so no login can succeed; set the "
                                   "password again with \"tarnwick config set-password\""));
    app.auth = AuthService::make(std::move(options));
    installAuthRoutes([&server](const QString &path, HttpRouteHandler handler) { server.addRoute(path, std::move(handler)); },
                      app.auth);
    server.setRequestGate(app.auth->requestGate());
}

std::function<std::optional<HttpRouteReply>(const HttpRouteRequest &)> changeGate(App &app)
{
    if (app.auth)
        return app.auth->changeGate();
    return [](const HttpRouteRequest &) -> std::optional<HttpRouteReply> {
        return HttpRouteReply{503, "application/json", R"({"error":"no authentication service"})"};
    };
}
