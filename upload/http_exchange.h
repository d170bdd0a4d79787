// One HTTP/1.0 exchange at a time over a TCP socket, driven by the socket's
// events: connect, wait (pumping events) for the connection or an error, send
// the request; the reply and any errors arrive later as signals.
#pragma once

#include "core/wait.h"
#include "upload/delivery.h"

#include <QObject>
#include <QStringDecoder>
#include <QSslError>
#include <QSslSocket>
#include <memory>
#include <QTimer>

class HttpExchange : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        Sent,      // connected and the request written; the reply comes by events
        Failed,    // a socket error ended the attempt (already listed as an error line)
        TimedOut,  // no connection within the limit (listed as an error line)
        Aborted,   // the exchange was dropped while waiting (window unloaded)
        Busy,      // another exchange is still waiting for its connection
    };

    // What is kept of one reply; beyond it the connection is closed.
    static constexpr qint64 kMaxReplyBytes = 64 * 1024;

    explicit HttpExchange(QObject *parent = nullptr);
    ~HttpExchange() override;

    void setRemoteHost(const QString &host) { m_remoteHost = host; }
    QString remoteHost() const { return m_remoteHost; }
    void setRemotePort(int port) { m_remotePort = port; }
    int remotePort() const { return m_remotePort; }
    // TLS for the next exchanges, checked against the system's CAs plus the
    // certificates of caFile (when given) and the remote host's name.
    void setTls(bool on) { m_tls = on; }
    bool tls() const { return m_tls; }
    void setExtraCaFile(const QString &path) { m_caFile = path; }

    // Limits: for the connection, and for the server to close after the request.
    void setConnectTimeoutMs(int ms) { m_connectTimeoutMs = ms; }
    void setReplyTimeoutMs(int ms) { m_replyTimer.setInterval(ms); }

    bool Connected() const { return m_connected; }
    bool SendFailed() const { return m_sendFailed; }
    bool waitingForConnection() const { return m_waitingForConnection; }

    // Connects to the remote end, waits (events keep flowing) and sends the request.
    Outcome run(const QByteArray &request);
    // Drops any connection without an error line: back to idle, Connected false.
    void abort();

signals:
    void connectedChanged(bool connected);
    // A received chunk, line ends normalised.
    void dataArrived(const QString &chunk);
    // One line for errsWinsock, CR LF included.
    void errorLine(const QString &line);
    // Once per exchange that got as far as a connection attempt: how it ended,
    // the raw reply (up to the cap) and the error's text.
    void ended(ExchangeEnd end, const QByteArray &reply, const QString &error);

private:
    void onConnected();
    void onReadyRead();
    void onDisconnected();
    void onError(QAbstractSocket::SocketError error);
    void onSslErrors(const QList<QSslError> &errors);
    void finish(ExchangeEnd end, const QString &error);
    void prepareTls();
    void onReplyTimeout();
    void setConnected(bool on);
    void fail(const QString &description, ExchangeEnd end = ExchangeEnd::Failed);
    void endWait();
    // The socket, made at the first exchange: a program that never uploads
    // loads no TLS library.
    QSslSocket &socket();
    void abortSocket();

    std::unique_ptr<QSslSocket> m_socket;
    QTimer m_replyTimer;
    QStringDecoder m_decoder{QStringDecoder::Utf8};
    QString m_remoteHost;
    int m_remotePort = 0;
    int m_connectTimeoutMs = 30000;
    bool m_connected = false;
    bool m_sendFailed = false;
    bool m_wasConnected = false; // this attempt reached the connected state
    bool m_replyReceived = false; // some of the reply has arrived on this connection
    qint64 m_replyBytes = 0;      // of the reply on this connection
    bool m_aborted = false;
    bool m_tls = false;
    QString m_caFile;
    QByteArray m_reply;       // raw, for the judge
    bool m_endReported = true; // the current exchange's end was told
    bool m_waitingForConnection = false;
    WaitWake m_connectWait; // rung by endWait()
};
