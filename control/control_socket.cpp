#include "control/control_socket.h"

#include "control/settings_service.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 kMaxRequest = 1 << 20;

// A folder this user owns and nobody else may enter; made when missing.
bool privateFolder(const QString &path, QString *why)
{
    const QByteArray native = QFile::encodeName(path);
    ::mkdir(native.constData(), 0700);
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()
        || (st.st_mode & 077) != 0) {
        if (why)
            *why = QStringLiteral("%1 is not a folder of this user's alone (mode 0700)").arg(path);
        return false;
    }
    return true;
}

QString peerName(QLocalSocket *socket)
{
    struct ucred cred {};
    socklen_t length = sizeof cred;
    if (::getsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &cred, &length) == 0)
        return QStringLiteral("config set (uid %1, pid %2)").arg(cred.uid).arg(cred.pid);
    return QStringLiteral("config set");
}

} // namespace

QString controlSocketPath(const QString &profilePath, QString *why)
{
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString folder = base.isEmpty() || !QFileInfo(base).isDir()
                         ? QDir::tempPath() + QStringLiteral("/tarnwick-%1").arg(::getuid())
                         : base + QStringLiteral("/tarnwick");
    if (!privateFolder(folder, why))
        return QString();
    const QByteArray id = QCryptographicHash::hash(QFileInfo(profilePath).absoluteFilePath().toUtf8(),
                                                   QCryptographicHash::Sha256).toHex().left(16);
    return folder + QStringLiteral("/control-") + QString::fromLatin1(id) + QStringLiteral(".sock");
}

ControlServer::ControlServer(SettingsService &service, QObject *parent) : QObject(parent), m_service(service)
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &ControlServer::onConnection);
}

ControlServer::~ControlServer() = default;

bool ControlServer::listen(const QString &path, QString *why)
{
    // The profile's lock is held: a socket there is one a program that ended left.
    QLocalServer::removeServer(path);
    if (m_server->listen(path))
        return true;
    if (why)
        *why = m_server->errorString();
    return false;
}

void ControlServer::onConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onRequest(socket); });
    }
}

void ControlServer::onRequest(QLocalSocket *socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kMaxRequest)
            socket->abort();
        return;
    }
    const QJsonObject request = QJsonDocument::fromJson(socket->readLine(kMaxRequest)).object();
    socket->write(QJsonDocument(answer(request, peerName(socket))).toJson(QJsonDocument::Compact) + '\n');
    socket->flush();
    socket->disconnectFromServer();
}

QJsonObject ControlServer::answer(const QJsonObject &request, const QString &client)
{
    const QString op = request.value(QStringLiteral("op")).toString();
    if (op == QLatin1String("set")) {
        SettingChanges changes;
        const QJsonObject values = request.value(QStringLiteral("values")).toObject();
        for (auto it = values.begin(); it != values.end(); ++it)
            changes.append({it.key(), it.value().toString()});
        const SettingsOutcome outcome = m_service.apply(changes, client);
        QJsonObject o = outcome.toJson();
        o.insert(QStringLiteral("status"), int(outcome.status));
        return o;
    }
    if (op == QLatin1String("password")) {
        const QString why = m_takePassword ? m_takePassword(request.value(QStringLiteral("hash")).toString().toLatin1(), client)
                                           : QStringLiteral("this run has no web endpoint to keep a password for");
        if (why.isEmpty())
            return {{QStringLiteral("status"), int(SettingsOutcome::Status::Applied)}};
        return {{QStringLiteral("status"), int(SettingsOutcome::Status::Refused)}, {QStringLiteral("message"), why}};
    }
    return {{QStringLiteral("status"), int(SettingsOutcome::Status::Refused)},
            {QStringLiteral("message"), QStringLiteral("unknown request")}};
}

bool askRunningProgram(const QString &profilePath, const QJsonObject &request, QJsonObject &answer, int timeoutMs)
{
    const QString path = controlSocketPath(profilePath);
    if (path.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    }
    answer = QJsonDocument::fromJson(socket.readLine()).object();
    return !answer.isEmpty();
}
