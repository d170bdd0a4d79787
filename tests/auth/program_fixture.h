// The real program for the end-to-end tests: its config command, and a run
// on the built-in simulated board with the endpoint on a loopback port (its
// standard error kept: the auth events are told there); and Debian's nginx
// as a reverse proxy in front of it, run as this user from a temporary
// prefix (its own configuration, pid file and logs), never the system service.
#pragma once

#include "free_port.h"

#include "http_client.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

struct CommandResult {
    int exitCode = -1;
    QByteArray out, err;
};

inline CommandResult runTarnwick(const QStringList &args, const QByteArray &input = {}, bool closeInput = true)
{
    QProcess p;
    p.start(QStringLiteral(TARNWICK_BINARY), args);
    p.waitForStarted(5000);
    p.write(input);
    if (closeInput)
        p.closeWriteChannel();
    CommandResult r;
    if (!p.waitForFinished(30000))
        p.kill();
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

class RunningProgram {
public:
    explicit RunningProgram(const QString &profile) : port(freeLoopbackPort())
    {
        m_process.start(QStringLiteral(TARNWICK_BINARY),
                        {"--headless", "--simulate", "--no-archive", "--profile", profile, "--log-dir", m_dir.path(),
                         "--alpaca-port", QString::number(port)});
    }
    ~RunningProgram()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
        m_process.waitForFinished(2000);
    }
    bool serving()
    {
        return QTest::qWaitFor([this] { return httpGet(port, "/tarnwick/v1/session").status == 200; }, 30000);
    }
    QByteArray standardError()
    {
        m_err += m_process.readAllStandardError();
        return m_err;
    }

    const quint16 port;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QByteArray m_err;
};

class Nginx {
public:
    QString error;
    const quint16 port = freeLoopbackPort();

    // Proxies http://127.0.0.1:port/ to the upstream as the README shows.
    bool start(quint16 upstream)
    {
        const QString nginx = QStandardPaths::findExecutable(QStringLiteral("nginx"), {"/usr/sbin", "/usr/bin"});
        if (nginx.isEmpty()) {
            error = QStringLiteral("nginx is not installed (scripts/install-deps.sh installs it)");
            return false;
        }
        const QString d = m_dir.path();
        QFile conf(d + "/nginx.conf");
        if (!conf.open(QIODevice::WriteOnly))
            return false;
        conf.write(QStringLiteral(
                       "daemon off;\nworker_processes 1;\npid %1/nginx.pid;\nerror_log %1/error.log;\n"
                       "events { worker_connections 64; }\n"
                       "http {\n  access_log %1/access.log;\n  client_body_temp_path %1/body;\n"
                       "  proxy_temp_path %1/proxy;\n  fastcgi_temp_path %1/fastcgi;\n  uwsgi_temp_path %1/uwsgi;\n"
                       "  scgi_temp_path %1/scgi;\n  proxy_max_temp_file_size 0;\n"
                       "  server {\n    listen 127.0.0.1:%2;\n    location / {\n"
                       "      proxy_pass http://127.0.0.1:%3;\n      proxy_set_header Host $http_host;\n"
                       "      proxy_set_header X-Forwarded-For $proxy_add_x_forwarded_for;\n"
                       "      proxy_set_header X-Forwarded-Proto $scheme;\n    }\n  }\n}\n")
                       .arg(d)
                       .arg(port)
                       .arg(upstream)
                       .toUtf8());
        conf.close();
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(nginx, {"-p", d, "-c", d + "/nginx.conf", "-e", d + "/error.log"});
        if (!m_process.waitForStarted(5000)
            || !QTest::qWaitFor([this] { return httpGet(port, "/").status != 0 || m_process.state() != QProcess::Running; }, 10000)
            || m_process.state() != QProcess::Running) {
            QFile log(d + "/error.log");
            log.open(QIODevice::ReadOnly);
            error = QStringLiteral("nginx did not start: %1 %2").arg(QString::fromLocal8Bit(m_process.readAll()),
                                                                     QString::fromLocal8Bit(log.readAll()));
            return false;
        }
        return true;
    }
    ~Nginx()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};
