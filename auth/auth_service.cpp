#include "auth/auth_service.h"

#include "auth/auth_logging.h"
#include "auth/login_page.h"
#include "auth/request_facts.h"
#include "auth/secrets.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>

Q_LOGGING_CATEGORY(lcAuth, "tarnwick.auth", QtInfoMsg)

std::shared_ptr<AuthService> AuthService::make(AuthOptions options)
{
    return std::shared_ptr<AuthService>(new AuthService(std::move(options)));
}

AuthService::AuthService(AuthOptions options)
    : m_options(std::move(options)), m_passwordHash(m_options.passwordHash),
      m_sessions(m_options.clock, m_options.sessions), m_limiter(m_options.clock, m_options.logins),
      m_loopbackToken(randomToken())
{
}

QByteArray AuthService::passwordHash() const
{
    QMutexLocker locked(&m_hashLock);
    return m_passwordHash;
}

void AuthService::setPasswordHash(const QByteArray &hash)
{
    {
        QMutexLocker locked(&m_hashLock);
        m_passwordHash = hash;
    }
    m_sessions.closeAll();
    {
        QMutexLocker locked(&m_basicLock);
        m_basicGood.clear();
    }
    tell(hash.isEmpty() ? QStringLiteral("the password was removed; every session ended")
                        : QStringLiteral("the password was changed; every session ended"));
}

void AuthService::tell(const QString &event) const
{
    if (m_events)
        m_events(event);
    else
        qCInfo(lcAuth).noquote() << event;
}

std::optional<HttpRouteReply> AuthService::refuse(const HttpRouteRequest &request, int status, const QString &why)
{
    tell(QStringLiteral("refused %1 %2 from %3: %4")
             .arg(QString::fromLatin1(request.method), request.path.left(200), clientLabel(request), why));
    HttpRouteReply reply{status, "application/json",
                         QJsonDocument(QJsonObject{{QStringLiteral("error"), why}}).toJson(QJsonDocument::Compact),
                         {{"Cache-Control", "no-store"}}};
    return reply;
}

std::optional<QByteArray> AuthService::sessionCsrf(const HttpRouteRequest &request)
{
    return m_sessions.csrfFor(cookieValue(request, kSessionCookie));
}

QByteArray AuthService::sentCsrf(const HttpRouteRequest &request) const
{
    const QByteArray header = request.header(kCsrfHeader);
    if (!header.isEmpty())
        return header;
    return formField(request, "csrf").value_or(QByteArray());
}

bool AuthService::secureCookie(const HttpRouteRequest &request) const
{
    // Behind a TLS proxy on this machine the browser speaks HTTPS too.
    const bool proxiedTls = QHostAddress(request.peer).isLoopback()
                            && (request.header("X-Forwarded-Proto").trimmed().toLower() == "https"
                                || request.header("Forwarded").toLower().contains("proto=https"));
    return m_options.https || proxiedTls;
}

QByteArray AuthService::sessionCookie(const QByteArray &id, qint64 maxAgeSeconds, const HttpRouteRequest &request) const
{
    QByteArray cookie = QByteArray(kSessionCookie) + '=' + id + "; Path=/; HttpOnly; SameSite=Strict; Max-Age="
                        + QByteArray::number(maxAgeSeconds);
    if (secureCookie(request))
        cookie += "; Secure";
    return cookie;
}

HttpRouteReply AuthService::sessionRoute(const HttpRouteRequest &request)
{
    if (!isReadOnlyMethod(request.method))
        return *refuse(request, 405, QStringLiteral("the session is read with GET"));
    const std::optional<QByteArray> csrf = sessionCsrf(request);
    const bool loopback = isLoopbackClient(request);
    QJsonObject out{{QStringLiteral("loggedIn"), csrf.has_value()},
                    {QStringLiteral("passwordSet"), passwordSet()},
                    {QStringLiteral("loopback"), loopback},
                    {QStringLiteral("loginToRead"), m_options.loginToRead},
                    {QStringLiteral("https"), m_options.https}};
    if (csrf)
        out.insert(QStringLiteral("csrf"), QString::fromLatin1(*csrf));
    else if (!passwordSet() && loopback)
        out.insert(QStringLiteral("csrf"), QString::fromLatin1(m_loopbackToken));
    return {200, "application/json", QJsonDocument(out).toJson(QJsonDocument::Compact), {{"Cache-Control", "no-store"}}};
}

HttpRouteReply AuthService::logoutRoute(const HttpRouteRequest &request)
{
    const QByteArray id = cookieValue(request, kSessionCookie);
    const std::optional<QByteArray> csrf = m_sessions.csrfFor(id);
    if (isReadOnlyMethod(request.method))
        return {200, "text/html; charset=utf-8", logoutPageHtml(csrf.value_or(QByteArray())), privatePageHeaders()};
    if (request.method != "POST")
        return *refuse(request, 405, QStringLiteral("log out with POST"));
    if (const QString why = foreignOrigin(request); !why.isEmpty())
        return *refuse(request, 403, why);
    if (!csrf || !sameSecret(sentCsrf(request), *csrf))
        return *refuse(request, 403, QStringLiteral("logout without this session's CSRF token"));
    m_sessions.close(id);
    tell(QStringLiteral("logout from %1").arg(clientLabel(request)));
    HttpHeaders headers = privatePageHeaders();
    headers.push_back({"Set-Cookie", sessionCookie("", 0, request)});
    headers.push_back({"Location", "/"});
    return {303, "text/plain; charset=utf-8", "Logged out\n", headers};
}
