// The running program's local control socket: "tarnwick config" sends a
// request (one JSON line) and gets one answer. The socket lives in a folder
// only the user who runs the program may enter ($XDG_RUNTIME_DIR, or
// /tmp/tarnwick-<uid>, mode 0700), named after the profile it serves.
#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;
class QLocalSocket;
class SettingsService;

// The socket's path for a profile; empty, with why, when no private folder can be had.
QString controlSocketPath(const QString &profilePath, QString *why = nullptr);

class ControlServer : public QObject {
    Q_OBJECT
public:
    explicit ControlServer(SettingsService &service, QObject *parent = nullptr);
    ~ControlServer() override;
    // Takes a new password hash (empty: none) for the running program and
    // returns why it could not (empty: taken). Unset: no password is kept here.
    using PasswordTaker = std::function<QString(const QByteArray &hash, const QString &client)>;
    void setPasswordTaker(PasswordTaker taker) { m_takePassword = std::move(taker); }
    // Listens at path (a socket left by a program that ended is replaced).
    bool listen(const QString &path, QString *why = nullptr);

private:
    void onConnection();
    void onRequest(QLocalSocket *socket);
    QJsonObject answer(const QJsonObject &request, const QString &client);

    SettingsService &m_service;
    PasswordTaker m_takePassword;
    QLocalServer *m_server = nullptr;
};

// Sends one request to the program that serves profilePath. False when no
// program answers there (none runs, or one without the socket).
bool askRunningProgram(const QString &profilePath, const QJsonObject &request, QJsonObject &answer, int timeoutMs = 10000);
