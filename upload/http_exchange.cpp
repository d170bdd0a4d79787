// The socket side of the upload: connection, request, reply and error lines.
#include "upload/http_exchange.h"

#include "core/reentry_guard.h"
#include "upload/http_request.h"

#include <QDateTime>
#include <QSslConfiguration>
#include <QStringList>

HttpExchange::HttpExchange(QObject *parent)
    : QObject(parent)
{
    m_replyTimer.setParent(this); // moves with the exchange
    m_replyTimer.setSingleShot(true);
    m_replyTimer.setInterval(30000);
    connect(&m_replyTimer, &QTimer::timeout, this, &HttpExchange::onReplyTimeout);
}

HttpExchange::~HttpExchange()
{
    // A socket still connected signals "disconnected" from its destructor, after
    // the members its handlers use are gone: cut the handlers off first.
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
}

QSslSocket &HttpExchange::socket()
{
    if (m_socket)
        return *m_socket;
    m_socket = std::make_unique<QSslSocket>(this);
    m_socket->setReadBufferSize(kMaxReplyBytes);
    // Over TLS the exchange counts as connected once the session is up and the
    // certificate passed: before that nothing is written.
    connect(m_socket.get(), &QSslSocket::connected, this, [this] {
        if (!m_tls)
            onConnected();
    });
    connect(m_socket.get(), &QSslSocket::encrypted, this, &HttpExchange::onConnected);
    connect(m_socket.get(), &QSslSocket::sslErrors, this, &HttpExchange::onSslErrors);
    connect(m_socket.get(), &QTcpSocket::readyRead, this, &HttpExchange::onReadyRead);
    connect(m_socket.get(), &QTcpSocket::disconnected, this, &HttpExchange::onDisconnected);
    connect(m_socket.get(), &QTcpSocket::errorOccurred, this, &HttpExchange::onError);
    return *m_socket;
}

void HttpExchange::abortSocket()
{
    if (m_socket)
        m_socket->abort();
}

HttpExchange::Outcome HttpExchange::run(const QByteArray &request)
{
    if (m_waitingForConnection)
        return Outcome::Busy;

    // A fresh attempt: whatever the socket held before is gone.
    m_replyTimer.stop();
    abortSocket();
    setConnected(false);
    m_decoder.resetState();
    m_sendFailed = false;
    m_wasConnected = false;
    m_replyReceived = false;
    m_replyBytes = 0;
    m_aborted = false;
    m_reply.clear();
    m_endReported = false;

    {
        ReentryGuard waiting(m_waitingForConnection);
        m_connectWait.reset();
        if (m_tls) {
            prepareTls();
            socket().connectToHostEncrypted(m_remoteHost, static_cast<quint16>(m_remotePort));
        } else {
            socket().connectToHost(m_remoteHost, static_cast<quint16>(m_remotePort));
        }
        if (!m_connected && !m_sendFailed && !m_aborted)
            waitUntil(m_connectWait, m_connectTimeoutMs);
    }

    if (m_aborted)
        return Outcome::Aborted;
    if (m_sendFailed)
        return Outcome::Failed;
    if (!m_connected) {
        if (m_wasConnected) {
            fail(QStringLiteral("The server closed the connection before the request was sent"), ExchangeEnd::Reset);
            return Outcome::Failed;
        }
        abortSocket();
        fail(QStringLiteral("Connection to %1 port %2 timed out after %3 s")
                 .arg(m_remoteHost)
                 .arg(m_remotePort)
                 .arg(m_connectTimeoutMs / 1000.0),
             ExchangeEnd::TimedOut);
        return Outcome::TimedOut;
    }

    socket().write(request);
    m_replyTimer.start();
    return Outcome::Sent;
}

void HttpExchange::abort()
{
    m_endReported = true; // dropped on purpose: nothing to judge
    if (m_waitingForConnection)
        m_aborted = true;
    m_replyTimer.stop();
    m_sendFailed = false;
    abortSocket();
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
    if (!socket().isOpen())
        return; // already closed: nothing buffered is left to read
    // Never more than the cap is read: a server that keeps sending costs
    // neither memory nor the station's time.
    const QByteArray bytes = socket().read(kMaxReplyBytes - m_replyBytes);
    const bool overLimit = m_replyBytes + bytes.size() >= kMaxReplyBytes && socket().bytesAvailable() > 0;
    if (!bytes.isEmpty()) {
        m_replyReceived = true;
        m_replyBytes += bytes.size();
        m_reply += bytes;
        const QString text = m_decoder.decode(bytes);
        if (!text.isEmpty())
            emit dataArrived(NormalizeLineEnds(text));
    }
    if (overLimit) {
        abortSocket();
        fail(QStringLiteral("The reply was longer than %1 KiB: the first %1 KiB are shown and the connection was closed")
                 .arg(kMaxReplyBytes / 1024));
    }
}

void HttpExchange::onDisconnected()
{
    onReadyRead(); // anything still buffered belongs to the reply
    m_replyTimer.stop();
    setConnected(false);
    socket().close();
    if (m_wasConnected)
        finish(m_reply.isEmpty() ? ExchangeEnd::Reset : ExchangeEnd::Replied,
               QStringLiteral("the server closed the connection without a reply"));
}

void HttpExchange::onError(QAbstractSocket::SocketError error)
{
    // The server closing after its reply is the normal end of an exchange,
    // handled by onDisconnected, not an error.
    if (error == QAbstractSocket::RemoteHostClosedError)
        return;
    if (m_endReported && m_sendFailed)
        return; // the certificate check already said why
    fail(socket().errorString(),
         error == QAbstractSocket::ConnectionRefusedError ? ExchangeEnd::Refused
         : error == QAbstractSocket::SocketTimeoutError   ? ExchangeEnd::TimedOut
                                                          : ExchangeEnd::Failed);
    abortSocket();
}

void HttpExchange::onSslErrors(const QList<QSslError> &errors)
{
    QStringList names;
    for (const QSslError &e : errors)
        names << e.errorString();
    // Nothing was written: the request never leaves an unverified session.
    fail(QStringLiteral("Certificate refused: ") + names.join(QStringLiteral("; ")), ExchangeEnd::CertificateRefused);
    abortSocket();
}

void HttpExchange::prepareTls()
{
    QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
    conf.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!m_caFile.isEmpty())
        conf.addCaCertificates(m_caFile);
    socket().setSslConfiguration(conf);
}

void HttpExchange::finish(ExchangeEnd end, const QString &error)
{
    if (m_endReported)
        return;
    m_endReported = true;
    emit ended(end, m_reply, error);
}

void HttpExchange::onReplyTimeout()
{
    if (!m_connected)
        return;
    abortSocket();
    const QString seconds = QString::number(m_replyTimer.interval() / 1000.0);
    // The reply (if any) is already in the response box; say which case this was.
    fail(m_replyReceived ? QStringLiteral("The server kept the connection open for %1 s after its reply").arg(seconds)
                         : QStringLiteral("No reply: the server kept the connection open for %1 s").arg(seconds),
         ExchangeEnd::TimedOut);
}

void HttpExchange::fail(const QString &description, ExchangeEnd end)
{
    emit errorLine(::errorLine(QDateTime::currentDateTime(), description));
    m_sendFailed = true;
    m_replyTimer.stop();
    // An error ends the exchange: later reports must not find it still "connected".
    setConnected(false);
    endWait();
    finish(end, description);
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
