// Extra pages on the HTTP endpoint beside the Alpaca devices (web page, JSON,
// feeds): a handler gets the request in plain values and gives one answer.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <utility>

using HttpHeaders = QList<std::pair<QByteArray, QByteArray>>;

struct HttpRouteRequest {
    QByteArray method; // "GET", "PUT", ...
    QString path;      // decoded, e.g. "/tarnwick/v1/live"
    QByteArray query;  // as sent, still percent-encoded
    QByteArray body;
    HttpHeaders headers = {}; // as sent (names in any case)
    QString peer = {};        // the client's address as this server sees it ("127.0.0.1")

    // The first header of that name, compared without case (empty: none).
    QByteArray header(const QByteArray &name) const
    {
        for (const auto &[key, value] : headers) {
            if (key.compare(name, Qt::CaseInsensitive) == 0)
                return value;
        }
        return {};
    }
};

struct HttpRouteReply {
    int status = 200;
    QByteArray contentType = "application/json";
    QByteArray body;
    // Sent after Content-Type and Content-Length (e.g. Set-Cookie, Location).
    HttpHeaders headers = {};
    // Set for an answer that takes long to compute (an archive read): the
    // server calls it on a worker thread and goes on serving meanwhile; the
    // fields above are then unused. It must use nothing of the serving thread.
    std::function<HttpRouteReply()> later = {};
};

// Answers paths equal to the route's prefix or under it ("/tarnwick/v1/live",
// "/"): the longest matching prefix wins.
using HttpRouteHandler = std::function<HttpRouteReply(const HttpRouteRequest &)>;
