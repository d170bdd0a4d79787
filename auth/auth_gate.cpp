// The rules every request on the endpoint passes (see auth_service.h).
#include "auth/auth_service.h"

#include "auth/password_hash.h"
#include "auth/request_facts.h"
#include "auth/secrets.h"

#include <cmath>

namespace {
// Remembered after a right Basic password, so that an Alpaca client's every
// call does not pay for the slow hash.
constexpr qint64 kBasicRememberMs = 10 * 60 * 1000;

bool isAlpacaPath(const QString &path)
{
    return path.startsWith(QLatin1String("/api/")) || path.startsWith(QLatin1String("/management/"))
           || path.startsWith(QLatin1String("/setup"));
}

bool isAuthPath(const QString &path)
{
    return path == QLatin1String("/login") || path == QLatin1String("/logout")
           || path == QLatin1String("/tarnwick/v1/session");
}

QByteArray retryAfter(qint64 waitMs)
{
    return QByteArray::number(std::max<qint64>(1, (waitMs + 999) / 1000));
}
} // namespace

RequestGate AuthService::changeGate()
{
    return [self = shared_from_this()](const HttpRouteRequest &r) { return self->checkChange(r); };
}

RequestGate AuthService::requestGate()
{
    return [self = shared_from_this()](const HttpRouteRequest &r) { return self->checkRequest(r); };
}

std::optional<HttpRouteReply> AuthService::checkChange(const HttpRouteRequest &request)
{
    if (const QString why = foreignOrigin(request); !why.isEmpty())
        return refuse(request, 403, why);
    const QByteArray sent = sentCsrf(request);
    if (const std::optional<QByteArray> csrf = sessionCsrf(request)) {
        if (sameSecret(sent, *csrf))
            return std::nullopt;
        return refuse(request, 403, sent.isEmpty() ? QStringLiteral("the change carries no CSRF token")
                                                   : QStringLiteral("the change carries a wrong CSRF token"));
    }
    if (passwordSet())
        return refuse(request, 401, QStringLiteral("log in first (/login)"));
    if (!isLoopbackClient(request))
        return refuse(request, 403, cameThroughProxy(request)
                                        ? QStringLiteral("until a password is set (tarnwick config set-password), "
                                                         "changes come only from this machine, never through a proxy")
                                        : QStringLiteral("until a password is set (tarnwick config set-password), "
                                                         "changes come only from this machine"));
    if (!sameSecret(sent, m_loopbackToken))
        return refuse(request, 403, QStringLiteral("the change carries no valid CSRF token (see /tarnwick/v1/session)"));
    return std::nullopt;
}

std::optional<HttpRouteReply> AuthService::checkRequest(const HttpRouteRequest &request)
{
    if (isAlpacaPath(request.path))
        return isReadOnlyMethod(request.method) ? std::nullopt : checkAlpacaChange(request);
    if (isAuthPath(request.path))
        return std::nullopt; // they check for themselves
    if (!isReadOnlyMethod(request.method))
        return checkChange(request);
    return m_options.loginToRead ? checkRead(request) : std::nullopt;
}

AuthService::Basic AuthService::checkBasic(const HttpRouteRequest &request, qint64 &waitMs)
{
    std::optional<QByteArray> password = basicPassword(request);
    if (!password)
        return Basic::Absent;
    const QByteArray digest = keyedDigest(*password);
    const qint64 now = m_options.clock();
    {
        QMutexLocker locked(&m_basicLock);
        std::erase_if(m_basicGood, [now](const auto &entry) { return entry.second <= now; });
        if (m_basicGood.count(digest))
            return Basic::Right;
    }
    const QString client = clientAddress(request);
    waitMs = m_limiter.waitMs(client);
    if (waitMs > 0)
        return Basic::Waiting;
    const bool right = passwordMatches(passwordHash(), *password);
    wipe(*password);
    if (!right) {
        const qint64 wait = m_limiter.failed(client);
        tell(QStringLiteral("wrong Basic password from %1 (%2 in a row%3)")
                 .arg(clientLabel(request))
                 .arg(m_limiter.failuresOf(client))
                 .arg(wait > 0 ? QStringLiteral(", next try in %1 s").arg(retryAfter(wait)) : QString()));
        return Basic::Wrong;
    }
    m_limiter.succeeded(client);
    QMutexLocker locked(&m_basicLock);
    if (m_basicGood.size() < 64)
        m_basicGood[digest] = now + kBasicRememberMs;
    return Basic::Right;
}

std::optional<HttpRouteReply> AuthService::checkAlpacaChange(const HttpRouteRequest &request)
{
    // As before a password is set: the user chose whom the endpoint serves.
    if (isLoopbackClient(request) || !passwordSet())
        return std::nullopt;
    qint64 waitMs = 0;
    switch (checkBasic(request, waitMs)) {
    case Basic::Right:
        return std::nullopt;
    case Basic::Waiting: {
        auto reply = refuse(request, 429, QStringLiteral("too many wrong passwords; try again in %1 s").arg(retryAfter(waitMs)));
        reply->headers.push_back({"Retry-After", retryAfter(waitMs)});
        return reply;
    }
    case Basic::Wrong:
    case Basic::Absent:
        break;
    }
    auto reply = refuse(request, 401, QStringLiteral("an Alpaca client on another machine sends the password "
                                                     "with HTTP Basic authentication"));
    reply->headers.push_back({"WWW-Authenticate", "Basic realm=\"Tarnwick\", charset=\"UTF-8\""});
    return reply;
}

std::optional<HttpRouteReply> AuthService::checkRead(const HttpRouteRequest &request)
{
    if (isLoopbackClient(request) || sessionCsrf(request))
        return std::nullopt;
    if (!passwordSet())
        return refuse(request, 403, QStringLiteral("the page asks for a login (LoginToRead), but no password is set"));
    qint64 waitMs = 0;
    const Basic basic = checkBasic(request, waitMs);
    if (basic == Basic::Right)
        return std::nullopt;
    if (basic == Basic::Waiting) {
        auto reply = refuse(request, 429, QStringLiteral("too many wrong passwords; try again in %1 s").arg(retryAfter(waitMs)));
        reply->headers.push_back({"Retry-After", retryAfter(waitMs)});
        return reply;
    }
    // A browser asking for the page goes to the login form.
    if (request.path == QLatin1String("/") && basic == Basic::Absent) {
        tell(QStringLiteral("sent %1 to the login form").arg(clientLabel(request)));
        return HttpRouteReply{303, "text/plain; charset=utf-8", "Log in first\n",
                              {{"Location", "/login?next=%2F"}, {"Cache-Control", "no-store"}}};
    }
    return refuse(request, 401, QStringLiteral("log in first (/login)"));
}
