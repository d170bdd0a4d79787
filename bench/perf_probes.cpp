#include "perf_probes.h"

#include "process_sample.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QThread>
#include <functional>

quint16 freeTcpPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

Program::Program(const QString &binaryPath, const QString &archive, const QList<QStringList> &settings, const QStringList &more)
    : binary(binaryPath), port(freeTcpPort())
{
    const QString profile = dir.filePath(QStringLiteral("profile.ini"));
    QList<QStringList> all{{"Latitude", "52.2"}, {"Longitude", "0.1"}};
    all += settings;
    for (const QStringList &kv : all)
        QProcess::execute(binary, {QStringLiteral("--profile"), profile, QStringLiteral("config"), QStringLiteral("set"), kv[0], kv[1]});
    process = std::make_unique<QProcess>();
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QStringList args{QStringLiteral("--headless"), QStringLiteral("--simulate"), QStringLiteral("--profile"), profile,
                     QStringLiteral("--log-dir"), dir.path(), QStringLiteral("--alpaca-port"), QString::number(port)};
    args += archive.isEmpty() ? QStringList{QStringLiteral("--no-archive")} : QStringList{QStringLiteral("--archive"), archive};
    process->start(binary, args + more);
    process->waitForStarted(5000);
}

Program::~Program()
{
    process->terminate();
    if (!process->waitForFinished(10000))
        process->kill();
}

double Program::waitUntilLive()
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 20000) {
        KeepAliveClient c(port);
        if (c.get("/tarnwick/v1/live").contains("\"fresh\":true"))
            return t.elapsed() / 1000.0;
        QThread::msleep(10);
    }
    return -1;
}

bool KeepAliveClient::connectNow()
{
    if (m_socket.state() == QAbstractSocket::ConnectedState)
        return true;
    m_socket.abort();
    m_socket.connectToHost(QStringLiteral("127.0.0.1"), m_port);
    return m_socket.waitForConnected(2000);
}

QByteArray KeepAliveClient::get(const QByteArray &target, int *status)
{
    if (status)
        *status = 0;
    if (!connectNow())
        return {};
    m_socket.write("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(m_port) + "\r\n\r\n");
    QByteArray reply;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000 && m_socket.waitForReadyRead(10000)) {
        reply += m_socket.readAll();
        const qsizetype head = reply.indexOf("\r\n\r\n");
        if (head < 0)
            continue;
        const qsizetype at = reply.toLower().indexOf("content-length:");
        const qsizetype end = reply.indexOf("\r\n", at);
        const qsizetype length = at >= 0 && at < head ? reply.mid(at + 15, end - at - 15).trimmed().toLongLong() : 0;
        if (reply.size() >= head + 4 + length) {
            if (status)
                *status = reply.mid(9, 3).toInt();
            return reply.mid(head + 4, length);
        }
    }
    m_socket.abort();
    return {};
}

long long processNs(qint64 pid)
{
    return sampleProcess(pid).ns;
}

double cpuMsPerCall(qint64 pid, int calls, const std::function<bool()> &request)
{
    const long long a = processNs(pid);
    QThread::sleep(2);
    const long long b = processNs(pid);
    const double idleNsPerMs = double(b - a) / 2000.0;
    QElapsedTimer t;
    t.start();
    bool ok = true;
    for (int k = 0; k < calls && ok; ++k)
        ok = request();
    const long long c = processNs(pid);
    const double busy = double(c - b) - idleNsPerMs * double(t.elapsed());
    return ok ? busy / calls / 1e6 : -1;
}
