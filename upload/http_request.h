// Framing of one HTTP/1.0 request and the text rules of the exchange: which
// remote port a URL gets, the request target, the request text, how received
// line ends are normalised and how a socket error is written down.
#pragma once

#include "upload/url_helper.h"

#include <QDateTime>
#include <QString>
#include <QVector>
#include <optional>

struct HeaderRow {
    QString name;
    QString value;
};

// Remote port for a URL: its own port (or 80) for "http", (or 443) for "https"
// (sent over TLS), 80 for a URL without
// a scheme. Any other scheme (the comparison is exact: "HTTP" is not "http")
// gives no port: the caller says "Invalid protocol schema" and keeps the old one.
std::optional<int> remotePortFor(const UrlParts &url);

// Path, then the URL's own query after "?", then the report query after "&"
// when the URL had a query of its own, else after "?".
QString requestTarget(const UrlParts &url, const QString &reportQuery);

// "GET <target> HTTP/1.0", "Host: <host>", one line per header row whose name
// is not empty, then the empty line; every line ends in CR LF. Nothing else.
QString requestText(const QString &host, const QString &target, const QVector<HeaderRow> &headers);

// One received chunk with LF alone and CR alone turned into CR LF. Each chunk
// stands alone: a CR that ends a chunk is passed on as it is.
QString NormalizeLineEnds(const QString &chunk);

// "YYYY-MM-DD hh:nn:ss AM/PM <description>" and CR LF, on a 12-hour clock.
QString errorLine(const QDateTime &localTime, const QString &description);
