// URL splitting and percent-encoding for the upload.
#include "upload/url_helper.h"

#include "core/number_format.h"

#include <cmath>

namespace {

// Port text between the colon and the first "/": any number the program's
// "real" conversion accepts, rounded halves to even, taken when it is a usable
// TCP port (1 to 65535); anything else counts as no port.
int portFromText(const QString &text)
{
    try {
        const double v = realFromText(text);
        if (!std::isfinite(v) || v < 0.5 || v > 65535.5)
            return 0;
        const int32_t port = toInt32(v);
        return (port >= 1 && port <= 65535) ? port : 0;
    } catch (const ConversionError &) {
        return 0;
    }
}

} // namespace

UrlParts SplitUrl(const QString &url)
{
    UrlParts parts;
    QString rest = url;
    const qsizetype schemeEnd = url.indexOf(QLatin1String("://"));
    if (schemeEnd >= 0) {
        parts.Scheme = url.left(schemeEnd);
        rest = url.mid(schemeEnd + 3);
    }

    const qsizetype colon = rest.indexOf(QLatin1Char(':'));
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    if (colon >= 0 && slash >= 0 && colon < slash) {
        parts.Host = rest.left(colon);
        parts.Port = portFromText(rest.mid(colon + 1, slash - colon - 1));
    } else if (slash < 0) {
        parts.Host = rest; // a ":port" here stays part of the host
        parts.Path = QStringLiteral("/");
        return parts;
    } else {
        parts.Host = rest.left(slash);
    }

    const QString pathAndQuery = rest.mid(slash);
    const qsizetype question = pathAndQuery.indexOf(QLatin1Char('?'));
    if (question < 0) {
        parts.Path = pathAndQuery;
    } else {
        parts.Path = pathAndQuery.left(question);
        parts.Query = pathAndQuery.mid(question + 1);
    }
    return parts;
}

QString PercentEncode(const QString &text)
{
    static const char hex[] = "0123456789ABCDEF";
    QString out;
    const QByteArray bytes = text.toUtf8();
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) {
            out += QLatin1Char(c);
        } else {
            out += QLatin1Char('%');
            out += QLatin1Char(hex[b >> 4]);
            out += QLatin1Char(hex[b & 0x0F]);
        }
    }
    return out;
}
