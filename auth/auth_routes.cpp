// The login: the form, the password check beside the serving thread (argon2id
// takes a good part of a second on a small machine), the rate limit and a
// fresh session on success.
#include "auth/auth_routes.h"

#include "auth/login_page.h"
#include "auth/password_hash.h"
#include "auth/request_facts.h"
#include "auth/secrets.h"

#include <QUrlQuery>

namespace {
constexpr qsizetype kMaxLoginBody = 4096;

HttpRouteReply loginPage(int status, const QString &message, const QByteArray &next, bool passwordSet)
{
    return {status, "text/html; charset=utf-8", loginPageHtml(message, next, passwordSet), privatePageHeaders()};
}

QByteArray waitText(qint64 waitMs)
{
    return QByteArray::number(std::max<qint64>(1, (waitMs + 999) / 1000));
}
} // namespace

void installAuthRoutes(const AddAuthRoute &addRoute, const std::shared_ptr<AuthService> &auth)
{
    addRoute(QStringLiteral("/login"), [auth](const HttpRouteRequest &r) { return auth->loginRoute(r); });
    addRoute(QStringLiteral("/logout"), [auth](const HttpRouteRequest &r) { return auth->logoutRoute(r); });
    addRoute(QStringLiteral("/tarnwick/v1/session"), [auth](const HttpRouteRequest &r) { return auth->sessionRoute(r); });
}

HttpRouteReply AuthService::loginRoute(const HttpRouteRequest &request)
{
    if (isReadOnlyMethod(request.method)) {
        const QUrlQuery query(QString::fromUtf8(request.query));
        const QByteArray next = query.queryItemValue(QStringLiteral("next"), QUrl::FullyDecoded).toUtf8();
        return loginPage(200, {}, next, passwordSet());
    }
    if (request.method != "POST")
        return *refuse(request, 405, QStringLiteral("log in with POST"));
    if (request.body.size() > kMaxLoginBody)
    {
        refuse(request, 413, QStringLiteral("login form too large"));
        return loginPage(413, QStringLiteral("The form was too large."), "/", passwordSet());
    }
    if (!isFormBody(request))
        return *refuse(request, 415, QStringLiteral("the login form is sent as application/x-www-form-urlencoded"));
    if (const QString why = foreignOrigin(request); !why.isEmpty())
        return *refuse(request, 403, why);
    const QByteArray next = safeNext(formField(request, "next").value_or("/"));
    if (!passwordSet())
        return loginPage(409, QStringLiteral("No password is set."), next, false);
    std::optional<QByteArray> password = formField(request, "password");
    if (!password || password->isEmpty() || password->size() > kMaxPasswordBytes) {
        refuse(request, 400, QStringLiteral("login without a usable password field"));
        return loginPage(400, QStringLiteral("Enter the password."), next, true);
    }
    const QString client = clientAddress(request);
    const qint64 waitMs = m_limiter.waitMs(client);
    if (waitMs > 0 || m_checkingPassword.exchange(true)) {
        const QByteArray seconds = waitText(waitMs);
        refuse(request, 429, QStringLiteral("login tried again too soon (wait %1 s)").arg(QString::fromLatin1(seconds)));
        HttpRouteReply reply = loginPage(429, QStringLiteral("Too many failed logins: try again in %1 s.")
                                                  .arg(QString::fromLatin1(seconds)), next, true);
        reply.headers.push_back({"Retry-After", seconds});
        return reply;
    }
    HttpRouteRequest kept = request;
    kept.body.clear();
    HttpRouteReply reply;
    reply.later = [self = shared_from_this(), kept, next, password = *password]() mutable {
        const bool matched = passwordMatches(self->passwordHash(), password);
        wipe(password);
        HttpRouteReply answer = self->finishLogin(matched, kept, next);
        self->m_checkingPassword = false;
        return answer;
    };
    wipe(*password);
    return reply;
}

HttpRouteReply AuthService::finishLogin(bool matched, const HttpRouteRequest &request, const QByteArray &next)
{
    const QString client = clientAddress(request);
    if (!matched) {
        const qint64 waitMs = m_limiter.failed(client);
        tell(QStringLiteral("login failed from %1 (%2 in a row%3)")
                 .arg(clientLabel(request))
                 .arg(m_limiter.failuresOf(client))
                 .arg(waitMs > 0 ? QStringLiteral(", next try in %1 s").arg(QString::fromLatin1(waitText(waitMs))) : QString()));
        HttpRouteReply reply = loginPage(401, QStringLiteral("Wrong password."), next, true);
        if (waitMs > 0)
            reply.headers.push_back({"Retry-After", waitText(waitMs)});
        return reply;
    }
    m_limiter.succeeded(client);
    // A session the browser held before (perhaps one planted on it) ends here.
    const QByteArray before = cookieValue(request, kSessionCookie);
    if (!before.isEmpty())
        m_sessions.close(before);
    const SessionStore::Opened session = m_sessions.open();
    tell(QStringLiteral("login from %1").arg(clientLabel(request)));
    HttpHeaders headers = privatePageHeaders();
    headers.push_back({"Set-Cookie", sessionCookie(session.id, m_sessions.times().lifetimeMs / 1000, request)});
    headers.push_back({"Location", next});
    return {303, "text/plain; charset=utf-8", "Logged in\n", headers};
}
