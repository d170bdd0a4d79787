// A test certificate authority and a server certificate for "localhost" only
// (not 127.0.0.1), made with openssl in a temporary folder (EC keys: quick to make).
#pragma once

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

class TestCertificates {
public:
    QString error; // why they could not be made

    TestCertificates() { m_made = make(); }
    bool made() const { return m_made; }
    QString caFile() const { return m_dir.filePath(QStringLiteral("ca.pem")); }
    QString certFile() const { return m_dir.filePath(QStringLiteral("srv.pem")); }
    QString keyFile() const { return m_dir.filePath(QStringLiteral("srv.key")); }

private:
    bool run(const QStringList &args)
    {
        QProcess p;
        p.setWorkingDirectory(m_dir.path());
        p.start(QStringLiteral("openssl"), args);
        if (!p.waitForFinished(30000) || p.exitCode() != 0) {
            error = QStringLiteral("openssl %1: %2").arg(args.join(' '), QString::fromLocal8Bit(p.readAllStandardError()));
            return false;
        }
        return true;
    }
    bool make()
    {
        const QStringList ec{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
        QFile ext(m_dir.filePath(QStringLiteral("ext.cnf")));
        if (!ext.open(QIODevice::WriteOnly))
            return false;
        ext.write("subjectAltName=DNS:localhost\nbasicConstraints=CA:FALSE\n");
        ext.close();
        return run(QStringList{"req", "-x509"} + ec +
                   QStringList{"-keyout", "ca.key", "-out", "ca.pem", "-days", "2", "-subj", "/CN=Tarnwick test CA"}) &&
               run(QStringList{"req"} + ec + QStringList{"-keyout", "srv.key", "-out", "srv.csr", "-subj", "/CN=localhost"}) &&
               run({"x509", "-req", "-in", "srv.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial", "-out",
                    "srv.pem", "-days", "2", "-extfile", "ext.cnf"});
    }

    QTemporaryDir m_dir;
    bool m_made = false;
};
