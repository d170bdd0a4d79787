// Request framing and the text rules of the HTTP exchange.
#include "upload/http_request.h"

namespace {
const QString kCrLf = QStringLiteral("\r\n");
} // namespace

std::optional<int> remotePortFor(const UrlParts &url)
{
    if (url.Scheme == QLatin1String("http"))
        return url.Port > 0 ? url.Port : 80;
    if (url.Scheme == QLatin1String("https"))
        return url.Port > 0 ? url.Port : 443;
    if (url.Scheme.isEmpty())
        return 80; // a URL without a scheme always goes to port 80, even "srv:8080/p"
    return std::nullopt;
}

QString requestTarget(const UrlParts &url, const QString &reportQuery)
{
    QString target = url.Path;
    if (!url.Query.isEmpty())
        target += QLatin1Char('?') + url.Query;
    if (!reportQuery.isEmpty())
        target += (url.Query.isEmpty() ? QLatin1Char('?') : QLatin1Char('&')) + reportQuery;
    return target;
}

QString requestText(const QString &host, const QString &target, const QVector<HeaderRow> &headers)
{
    QString text = QStringLiteral("GET ") + target + QStringLiteral(" HTTP/1.0") + kCrLf;
    text += QStringLiteral("Host: ") + host + kCrLf;
    for (const HeaderRow &row : headers) {
        if (!row.name.isEmpty())
            text += row.name + QStringLiteral(": ") + row.value + kCrLf;
    }
    text += kCrLf;
    return text;
}

QString NormalizeLineEnds(const QString &chunk)
{
    const QChar cr(u'\r');
    const QChar lf(u'\n');
    QString out;
    out.reserve(chunk.size() + chunk.size() / 8);
    QChar previous;            // null before the first character
    bool pendingLf = false;    // a CR was written and still wants its LF
    for (const QChar ch : chunk) {
        if (pendingLf && ch != lf) {
            out += lf;
            out += ch;
            pendingLf = false;
        } else if (ch == lf) {
            if (previous != cr)
                out += cr;
            out += lf;
            pendingLf = false;
        } else if (ch == cr) {
            out += cr;
            pendingLf = true;
        } else {
            out += ch;
        }
        previous = ch;
    }
    return out;
}

QString errorLine(const QDateTime &localTime, const QString &description)
{
    const QDate d = localTime.date();
    const QTime t = localTime.time();
    const int hour12 = t.hour() % 12 == 0 ? 12 : t.hour() % 12;
    const QString stamp = QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d %s", d.year(), d.month(), d.day(), hour12,
                                            t.minute(), t.second(), t.hour() < 12 ? "AM" : "PM");
    return stamp + QLatin1Char(' ') + description + kCrLf;
}
