// The real broker (Debian's mosquitto) on a free loopback port, and a real
// subscriber (mosquitto_sub) that records what the broker delivers.
#pragma once

#include "free_port.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <pwd.h>
#include <unistd.h>
#include <vector>

class Broker {
public:
    quint16 port = freeLoopbackPort();

    // The broker answering on its port, or false (with the reason in log()).
    bool start()
    {
        QFile conf(m_dir.path() + QStringLiteral("/broker.conf"));
        conf.open(QIODevice::WriteOnly);
        conf.write(QStringLiteral("listener %1 127.0.0.1\n").arg(port).toUtf8() + m_access);
        conf.close();
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), conf.fileName()});
        if (!m_process.waitForStarted(3000))
            return false;
        return QTest::qWaitFor([this] {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, port);
            return s.waitForConnected(100);
        }, 5000);
    }
    // Only this user gets in (before start).
    bool requireLogin(const QString &user, const QString &password)
    {
        const QString file = m_dir.path() + QStringLiteral("/passwords");
        // Run by root the broker would read the file as the user "mosquitto": it stays who we are.
        const passwd *me = getpwuid(geteuid());
        m_access = "allow_anonymous false\npassword_file " + file.toUtf8() + "\nuser " + QByteArray(me ? me->pw_name : "") + '\n';
        return QProcess::execute(QStringLiteral("mosquitto_passwd"), {"-c", "-b", file, user, password}) == 0;
    }
    void stop()
    {
        m_process.terminate();
        m_process.waitForFinished(3000);
    }
    QByteArray log() { return m_process.readAll(); }
    ~Broker() { stop(); }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QByteArray m_access = "allow_anonymous true\n";
};

struct Delivery {
    QString topic;
    QByteArray payload;
    qint64 atMs; // on the subscriber's clock
    int qos = 0; // as sent, the subscription taking up to 1
    bool retained = false; // the broker's stored message, given to a new subscription
};

class Subscriber {
public:
    std::vector<Delivery> got;
    QElapsedTimer clock;

    explicit Subscriber(quint16 port, const QString &filter = QStringLiteral("#"))
    {
        clock.start();
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] { take(); });
        m_process.start(QStringLiteral("mosquitto_sub"), {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                                                          QString::number(port), QStringLiteral("-t"), filter, QStringLiteral("-q"),
                                                          QStringLiteral("1"), QStringLiteral("-F"), QStringLiteral("%q %r %t %p")});
        m_process.waitForStarted(3000);
    }
    ~Subscriber()
    {
        m_process.kill();
        m_process.waitForFinished(3000);
    }

    // Waits for a delivery on topic (whose payload passes the check) from the
    // index `from` on; its index, or -1.
    int waitFor(const QString &topic, int ms, size_t from = 0,
                const std::function<bool(const QByteArray &)> &check = {})
    {
        int found = -1;
        (void)QTest::qWaitFor([&] {
            for (size_t i = from; i < got.size(); ++i)
                if (got[i].topic == topic && (!check || check(got[i].payload))) {
                    found = int(i);
                    return true;
                }
            return false;
        }, ms);
        return found;
    }
    int count(const std::function<bool(const Delivery &)> &pick, size_t from = 0) const
    {
        int n = 0;
        for (size_t i = from; i < got.size(); ++i)
            n += pick(got[i]) ? 1 : 0;
        return n;
    }

private:
    void take()
    {
        m_partial += m_process.readAllStandardOutput();
        int end;
        while ((end = int(m_partial.indexOf('\n'))) >= 0) {
            // "<qos> <retained> <topic> <payload>"
            const QByteArray line = m_partial.left(end);
            m_partial.remove(0, end + 1);
            const int qos = line.left(1).toInt();
            const bool retained = line.mid(2, 1) == "1";
            const QByteArray rest = line.mid(4);
            const int space = int(rest.indexOf(' '));
            got.push_back({QString::fromUtf8(space < 0 ? rest : rest.left(space)), space < 0 ? QByteArray() : rest.mid(space + 1),
                           clock.elapsed(), qos, retained});
        }
    }
    QProcess m_process;
    QByteArray m_partial;
};
