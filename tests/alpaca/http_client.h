// A small HTTP client for tests: one raw request on loopback, the event loop
// runs (so the server on this thread answers) until the answer is complete.
#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTimer>

struct HttpAnswer {
    int status = 0; // 0: no answer
    QByteArray headers;
    QByteArray body;
    bool closedByServer = false;
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
};

inline bool answerComplete(const QByteArray &data, HttpAnswer &out)
{
    const int end = data.indexOf("\r\n\r\n");
    if (end < 0)
        return false;
    out.headers = data.left(end);
    const QList<QByteArray> lines = out.headers.split('\n');
    out.status = lines.value(0).split(' ').value(1).toInt();
    qint64 length = -1;
    for (const QByteArray &line : lines) {
        if (line.toLower().startsWith("content-length:"))
            length = line.mid(15).trimmed().toLongLong();
    }
    if (length < 0 || data.size() - (end + 4) < length)
        return false;
    out.body = data.mid(end + 4, length);
    return true;
}

inline HttpAnswer rawExchange(quint16 port, const QByteArray &request, int timeoutMs = 3000,
                              const QHostAddress &to = QHostAddress::LocalHost)
{
    HttpAnswer answer;
    QTcpSocket socket;
    QByteArray data;
    QEventLoop loop;
    QObject::connect(&socket, &QTcpSocket::connected, [&] { socket.write(request); });
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] {
        data += socket.readAll();
        if (answerComplete(data, answer))
            loop.quit();
    });
    QObject::connect(&socket, &QTcpSocket::disconnected, [&] {
        answer.closedByServer = true;
        loop.quit();
    });
    QObject::connect(&socket, &QTcpSocket::errorOccurred, [&] { loop.quit(); });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    socket.connectToHost(to, port);
    loop.exec();
    if (answer.status == 0 || answer.body.isNull())
        answerComplete(data + socket.readAll(), answer);
    QObject::disconnect(&socket, nullptr, nullptr, nullptr);
    socket.abort();
    return answer;
}

inline HttpAnswer httpGet(quint16 port, const QByteArray &target)
{
    return rawExchange(port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
}

inline HttpAnswer httpPut(quint16 port, const QByteArray &target, const QByteArray &form)
{
    return rawExchange(port, "PUT " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                                 "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: "
                           + QByteArray::number(form.size()) + "\r\n\r\n" + form);
}
