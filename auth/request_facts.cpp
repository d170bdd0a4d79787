#include "auth/request_facts.h"

#include <QHostAddress>
#include <QUrl>

bool isReadOnlyMethod(const QByteArray &method)
{
    return method == "GET" || method == "HEAD";
}

bool cameThroughProxy(const HttpRouteRequest &request)
{
    for (const auto &[name, value] : request.headers) {
        for (const char *proxyHeader : {"X-Forwarded-For", "Forwarded", "X-Real-IP"}) {
            if (name.compare(proxyHeader, Qt::CaseInsensitive) == 0)
                return true;
        }
    }
    return false;
}

bool isLoopbackClient(const HttpRouteRequest &request)
{
    return QHostAddress(request.peer).isLoopback() && !cameThroughProxy(request);
}

namespace {
// The last address a proxy appended (nginx: $proxy_add_x_forwarded_for).
QString lastForwardedAddress(const HttpRouteRequest &request)
{
    const QList<QByteArray> hops = request.header("X-Forwarded-For").split(',');
    QString last = QString::fromLatin1(hops.last().trimmed());
    if (QHostAddress(last).isNull()) {
        // Forwarded: for=192.0.2.7;proto=https, for="[2001:db8::1]:4711"
        for (const QByteArray &part : request.header("Forwarded").split(';')) {
            const QByteArray p = part.trimmed();
            if (p.toLower().startsWith("for="))
                last = QString::fromLatin1(p.mid(4).split(',').last()).remove(u'"');
        }
        if (last.startsWith(u'['))
            last = last.mid(1, last.indexOf(u']') - 1);
    }
    return QHostAddress(last).isNull() ? QString() : QHostAddress(last).toString();
}
} // namespace

QString clientAddress(const HttpRouteRequest &request)
{
    // Only a proxy on this machine is believed about whom it speaks for.
    if (cameThroughProxy(request) && QHostAddress(request.peer).isLoopback()) {
        const QString forwarded = lastForwardedAddress(request);
        if (!forwarded.isEmpty())
            return forwarded;
    }
    return request.peer;
}

QString clientLabel(const HttpRouteRequest &request)
{
    return cameThroughProxy(request) ? clientAddress(request) + QStringLiteral(" via ") + request.peer : request.peer;
}

bool sameAuthority(const QByteArray &url, const QByteArray &hostHeader)
{
    const QUrl u(QString::fromLatin1(url), QUrl::StrictMode);
    const QString scheme = u.scheme().toLower();
    if (!u.isValid() || u.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return false;
    const QUrl host(QStringLiteral("%1://%2").arg(scheme, QString::fromLatin1(hostHeader.trimmed())), QUrl::StrictMode);
    if (!host.isValid() || host.host().isEmpty() || !host.path().isEmpty() || !host.userInfo().isEmpty())
        return false;
    const int defaultPort = scheme == QLatin1String("https") ? 443 : 80;
    return u.host().compare(host.host(), Qt::CaseInsensitive) == 0 && u.port(defaultPort) == host.port(defaultPort);
}

QString foreignOrigin(const HttpRouteRequest &request)
{
    const QByteArray origin = request.header("Origin");
    const QByteArray referer = request.header("Referer");
    const QByteArray said = !origin.isEmpty() ? origin : referer;
    if (said.isEmpty())
        return {};
    const QByteArray host = request.header("Host");
    if (host.isEmpty())
        return QStringLiteral("the request names no Host to compare its origin with");
    if (!sameAuthority(said, host))
        return QStringLiteral("the request comes from another site (%1 %2, Host %3)")
            .arg(origin.isEmpty() ? QStringLiteral("Referer") : QStringLiteral("Origin"),
                 QString::fromLatin1(QUrl(QString::fromLatin1(said)).adjusted(QUrl::RemovePath | QUrl::RemoveQuery |
                                                                              QUrl::RemoveUserInfo).toEncoded().left(100)),
                 QString::fromLatin1(host.left(100)));
    return {};
}

QByteArray cookieValue(const HttpRouteRequest &request, const QByteArray &name)
{
    for (const auto &[header, value] : request.headers) {
        if (header.compare("Cookie", Qt::CaseInsensitive) != 0)
            continue;
        for (const QByteArray &pair : value.split(';')) {
            const qsizetype eq = pair.indexOf('=');
            if (eq > 0 && pair.left(eq).trimmed() == name)
                return pair.mid(eq + 1).trimmed();
        }
    }
    return {};
}

bool isFormBody(const HttpRouteRequest &request)
{
    const QByteArray type = request.header("Content-Type").split(';').first().trimmed().toLower();
    return type == "application/x-www-form-urlencoded";
}

std::optional<QByteArray> formField(const HttpRouteRequest &request, const QByteArray &name)
{
    if (!isFormBody(request))
        return std::nullopt;
    for (const QByteArray &pair : request.body.split('&')) {
        const qsizetype eq = pair.indexOf('=');
        QByteArray key = eq < 0 ? pair : pair.left(eq);
        if (QByteArray::fromPercentEncoding(key.replace('+', ' ')) != name)
            continue;
        QByteArray value = eq < 0 ? QByteArray() : pair.mid(eq + 1);
        return QByteArray::fromPercentEncoding(value.replace('+', ' '));
    }
    return std::nullopt;
}

std::optional<QByteArray> basicPassword(const HttpRouteRequest &request)
{
    const QByteArray header = request.header("Authorization").trimmed();
    if (!header.left(6).toLower().startsWith("basic "))
        return std::nullopt;
    const auto result = QByteArray::fromBase64Encoding(header.mid(6).trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return std::nullopt;
    const qsizetype colon = result.decoded.indexOf(':');
    if (colon < 0)
        return std::nullopt;
    return result.decoded.mid(colon + 1);
}
