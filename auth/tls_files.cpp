#include "auth/tls_files.h"

#include <QDateTime>
#include <QFile>
#include <QSslCertificate>
#include <QSslKey>

#include <openssl/bio.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

namespace {
bool readFile(const QString &path, const QString &what, QByteArray &data, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("the %1 file %2 cannot be read (%3)").arg(what, path, file.errorString());
        return false;
    }
    data = file.read(1024 * 1024);
    return true;
}

QSslKey privateKeyFrom(const QByteArray &pem)
{
    for (QSsl::KeyAlgorithm algorithm : {QSsl::Rsa, QSsl::Ec, QSsl::Dsa}) {
        QSslKey key(pem, algorithm, QSsl::Pem, QSsl::PrivateKey);
        if (!key.isNull())
            return key;
    }
    return {};
}

// Whether the key is the certificate's own (Qt only finds out at the first handshake).
bool keyFitsCertificate(const QByteArray &certificatePem, const QByteArray &keyPem)
{
    BIO *certBio = BIO_new_mem_buf(certificatePem.constData(), int(certificatePem.size()));
    BIO *keyBio = BIO_new_mem_buf(keyPem.constData(), int(keyPem.size()));
    X509 *certificate = certBio ? PEM_read_bio_X509(certBio, nullptr, nullptr, nullptr) : nullptr;
    EVP_PKEY *key = keyBio ? PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, nullptr) : nullptr;
    const bool fits = certificate && key && X509_check_private_key(certificate, key) == 1;
    EVP_PKEY_free(key);
    X509_free(certificate);
    BIO_free(keyBio);
    BIO_free(certBio);
    return fits;
}
} // namespace

EndpointTls loadEndpointTls(const QString &certificateFile, const QString &keyFile)
{
    EndpointTls tls;
    tls.wanted = !certificateFile.isEmpty() || !keyFile.isEmpty();
    if (!tls.wanted)
        return tls;
    if (certificateFile.isEmpty() || keyFile.isEmpty()) {
        tls.error = QStringLiteral("HTTPS needs both Web/CertificateFile and Web/KeyFile");
        return tls;
    }
    QByteArray certificatePem, keyPem;
    if (!readFile(certificateFile, QStringLiteral("certificate"), certificatePem, tls.error)
        || !readFile(keyFile, QStringLiteral("key"), keyPem, tls.error))
        return tls;
    const QList<QSslCertificate> chain = QSslCertificate::fromData(certificatePem, QSsl::Pem);
    if (chain.isEmpty()) {
        tls.error = QStringLiteral("the certificate file %1 holds no PEM certificate").arg(certificateFile);
        return tls;
    }
    const QSslKey key = privateKeyFrom(keyPem);
    if (key.isNull()) {
        tls.error = QStringLiteral("the key file %1 holds no private key in PEM form (an encrypted key cannot be used)")
                        .arg(keyFile);
        return tls;
    }
    if (!keyFitsCertificate(certificatePem, keyPem)) {
        tls.error = QStringLiteral("the key in %1 does not belong to the certificate in %2").arg(keyFile, certificateFile);
        return tls;
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (chain.first().expiryDate() < now)
        tls.warning = QStringLiteral("the certificate in %1 expired on %2; browsers will warn")
                          .arg(certificateFile, chain.first().expiryDate().toString(Qt::ISODate));
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificateChain(chain);
    configuration.setPrivateKey(key);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    configuration.setProtocol(QSsl::SecureProtocols);
    tls.configuration = configuration;
    return tls;
}
