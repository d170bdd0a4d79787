// The socket side of the upload: connection, request, reply and error lines.
#include "upload/http_exchange.h"

#include "core/reentry_guard.h"
#include "upload/http_request.h"

#include <QDateTime>

HttpExchange::HttpExchange(QObject *parent)
    : QObject(parent)
{
    m_socket.setReadBufferSize(kMaxReplyBytes);
    m_replyTimer.setSingleShot(true);
    m_replyTimer.setInterval(30000);
    connect(&m_replyTimer, &QTimer::timeout, this, &HttpExchange::onReplyTimeout);
    connect(&m_socket, &QTcpSocket::connected, this, &HttpExchange::onConnected);
    connect(&m_socket, &QTcpSocket::readyRead, this, &HttpExchange::onReadyRead);
    connect(&m_socket, &QTcpSocket::disconnected, this, &HttpExchange::onDisconnected);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &HttpExchange::onError);
}

HttpExchange::~HttpExchange()
{
    // A socket still connected signals "disconnected" from its destructor, after
    // the members its handlers use are gone: cut the handlers off first.
    m_socket.disconnect(this);
    m_socket.abort();
}

HttpExchange::Outcome HttpExchange::run(const QByteArray &request)
{
    if (m_waitingForConnection)
        return Outcome::Busy;

    // A fresh attempt: whatever the socket held before is gone.
    m_replyTimer.stop();
    m_socket.abort();
    setConnected(false);
    m_decoder.resetState();
    m_sendFailed = false;
    m_wasConnected = false;
    m_replyReceived = false;
    m_replyBytes = 0;
    m_aborted = false;

    {
        ReentryGuard waiting(m_waitingForConnection);
        m_connectWait.reset();
        m_socket.connectToHost(m_remoteHost, static_cast<quint16>(m_remotePort));
        if (!m_connected && !m_sendFailed && !m_aborted)
            waitUntil(m_connectWait, m_connectTimeoutMs);
    }

    if (m_aborted)
        return Outcome::Aborted;
    if (m_sendFailed)
        return Outcome::Failed;
    if (!m_connected) {
        if (m_wasConnected) {
            fail(QStringLiteral("The server closed the connection before the request was sent"));
            return Outcome::Failed;
        }
        m_socket.abort();
        fail(QStringLiteral("Connection to %1 port %2 timed out after %3 s")
                 .arg(m_remoteHost)
                 .arg(m_remotePort)
                 .arg(m_connectTimeoutMs / 1000.0));
        return Outcome::TimedOut;
    }

    m_socket.write(request);
    m_replyTimer.start();
    return Outcome::Sent;
}

void HttpExchange::abort()
{
    if (m_waitingForConnection)
        m_aborted = true;
    m_replyTimer.stop();
    m_sendFailed = false;
    m_socket.abort();
    setConnected(false);
    endWait();
}

void HttpExchange::onConnected()
{
    m_wasConnected = true;
    setConnected(true);
    endWait();
}

void HttpExchange::onReadyRead()
{
    if (!m_socket.isOpen())
        return; // already closed: nothing buffered is left to read
    // Never more than the cap is read: a server that keeps sending costs
    // neither memory nor the station's time.
    const QByteArray bytes = m_socket.read(kMaxReplyBytes - m_replyBytes);
    const bool overLimit = m_replyBytes + bytes.size() >= kMaxReplyBytes && m_socket.bytesAvailable() > 0;
    if (!bytes.isEmpty()) {
        m_replyReceived = true;
        m_replyBytes += bytes.size();
        const QString text = m_decoder.decode(bytes);
        if (!text.isEmpty())
            emit dataArrived(NormalizeLineEnds(text));
    }
    if (overLimit) {
        m_socket.abort();
        fail(QStringLiteral("The reply was longer than %1 KiB: the first %1 KiB are shown and the connection was closed")
                 .arg(kMaxReplyBytes / 1024));
    }
}

void HttpExchange::onDisconnected()
{
    onReadyRead(); // anything still buffered belongs to the reply
    m_replyTimer.stop();
    setConnected(false);
    m_socket.close();
}

void HttpExchange::onError(QAbstractSocket::SocketError error)
{
    // The server closing after its reply is the normal end of an exchange,
    // handled by onDisconnected, not an error.
    if (error == QAbstractSocket::RemoteHostClosedError)
        return;
    fail(m_socket.errorString());
    m_socket.abort();
}

void HttpExchange::onReplyTimeout()
{
    if (!m_connected)
        return;
    m_socket.abort();
    const QString seconds = QString::number(m_replyTimer.interval() / 1000.0);
    // The reply (if any) is already in the response box; say which case this was.
    fail(m_replyReceived ? QStringLiteral("The server kept the connection open for %1 s after its reply").arg(seconds)
                         : QStringLiteral("No reply: the server kept the connection open for %1 s").arg(seconds));
}

void HttpExchange::fail(const QString &description)
{
    emit errorLine(::errorLine(QDateTime::currentDateTime(), description));
    m_sendFailed = true;
    m_replyTimer.stop();
    // An error ends the exchange: later reports must not find it still "connected".
    setConnected(false);
    endWait();
}

void HttpExchange::setConnected(bool on)
{
    if (m_connected == on)
        return;
    m_connected = on;
    emit connectedChanged(on);
}

void HttpExchange::endWait()
{
    if (m_waitingForConnection)
        m_connectWait.wake();
}
