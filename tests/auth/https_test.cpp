// The HTTPS option: the endpoint with a certificate from a test authority
// serves TLS only, under the connection guard's limits, with Secure cookies;
// certificate and key files that cannot be served are refused with a reason.
#include "auth_fixture.h"

#include "auth/tls_files.h"
#include "test_ca.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTest>

namespace {

// One request over TLS to "localhost", trusting only the test authority.
HttpAnswer tlsExchange(quint16 port, const QString &caFile, const QByteArray &request)
{
    QSslSocket socket;
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setCaCertificates(QSslCertificate::fromPath(caFile));
    socket.setSslConfiguration(config);
    socket.connectToHostEncrypted(QStringLiteral("localhost"), port);
    // The server answers on this thread: wait with the event loop running.
    HttpAnswer answer;
    if (!QTest::qWaitFor([&] { return socket.isEncrypted(); }, 5000))
        return answer;
    socket.write(request);
    QByteArray data;
    (void)QTest::qWaitFor([&] {
        data += socket.readAll();
        return answerComplete(data, answer);
    }, 5000);
    return answer;
}

QByteArray requestFor(quint16 port, const QByteArray &method, const QByteArray &target, const QByteArray &body = {})
{
    return method + ' ' + target + " HTTP/1.1\r\nHost: localhost:" + QByteArray::number(port)
           + "\r\nConnection: close\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: "
           + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

TEST(Https, TheEndpointServesTlsOnlyWithSecureCookies)
{
    TestCertificates certs;
    ASSERT_TRUE(certs.made()) << qPrintable(certs.error);
    const EndpointTls tls = loadEndpointTls(certs.certFile(), certs.keyFile());
    ASSERT_TRUE(tls.configuration) << qPrintable(tls.error);
    AuthServer s(true, false, tls.configuration);
    ASSERT_TRUE(s.server.servesTls());

    const HttpAnswer session = tlsExchange(s.port(), certs.caFile(), requestFor(s.port(), "GET", "/tarnwick/v1/session"));
    EXPECT_EQ(session.status, 200);
    EXPECT_TRUE(session.json()["https"].toBool());
    const HttpAnswer login =
        tlsExchange(s.port(), certs.caFile(), requestFor(s.port(), "POST", "/login", "password=" + kPassword.toPercentEncoding()));
    EXPECT_EQ(login.status, 303);
    EXPECT_TRUE(AuthServer::headerOf(login, "Set-Cookie").endsWith("; Secure"));
    // Plain HTTP on the HTTPS port gets no HTTP answer.
    EXPECT_EQ(s.send("GET", "/tarnwick/v1/session").status, 0);
}

TEST(Https, AClientThatNeverCompletesTheHandshakeIsDroppedByTheGuard)
{
    TestCertificates certs;
    ASSERT_TRUE(certs.made()) << qPrintable(certs.error);
    AlpacaServer server;
    GuardedTcpServer::Limits limits;
    limits.headTimeoutMs = 300;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0, limits, loadEndpointTls(certs.certFile(), certs.keyFile()).configuration));
    QTcpSocket silent;
    silent.connectToHost(QHostAddress::LocalHost, server.port());
    ASSERT_TRUE(silent.waitForConnected(2000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return silent.state() == QAbstractSocket::UnconnectedState; }, 3000));
}

struct FileCase {
    const char *name;
    QString certificate, key;
    bool wanted;
    const char *error; // empty: usable
};

TEST(Https, CertificateAndKeyFilesThatCannotBeServedAreRefusedWithAReason)
{
    TestCertificates certs;
    ASSERT_TRUE(certs.made()) << qPrintable(certs.error);
    QTemporaryDir dir;
    const QString garbage = dir.filePath("garbage.pem");
    QFile g(garbage);
    ASSERT_TRUE(g.open(QIODevice::WriteOnly));
    g.write("-----BEGIN CERTIFICATE-----\nnot base64 at all\n-----END CERTIFICATE-----\n");
    g.close();
    const QString caKey = QFileInfo(certs.caFile()).dir().filePath("ca.key");
    const FileCase cases[] = {
        {"neither: plain HTTP", "", "", false, ""},
        {"the pair", certs.certFile(), certs.keyFile(), true, ""},
        {"certificate only", certs.certFile(), "", true, "needs both"},
        {"key only", "", certs.keyFile(), true, "needs both"},
        {"missing certificate", dir.filePath("none.pem"), certs.keyFile(), true, "cannot be read"},
        {"no certificate in it", garbage, certs.keyFile(), true, "holds no PEM certificate"},
        {"a certificate as the key", certs.certFile(), certs.certFile(), true, "holds no private key"},
        {"another key", certs.certFile(), caKey, true, "does not belong to the certificate"},
    };
    for (const FileCase &c : cases) {
        SCOPED_TRACE(c.name);
        const EndpointTls tls = loadEndpointTls(c.certificate, c.key);
        EXPECT_EQ(tls.wanted, c.wanted);
        EXPECT_EQ(tls.configuration.has_value(), c.wanted && QByteArray(c.error).isEmpty());
        EXPECT_TRUE(tls.error.contains(QLatin1String(c.error))) << qPrintable(tls.error);
    }
}

} // namespace
