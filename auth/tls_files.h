// The HTTPS option: a certificate (PEM, the server's first, then any
// intermediates) and its private key (PEM, not encrypted) named in the
// settings. A pair that cannot be used is an error, never plain HTTP instead.
#pragma once

#include <QSslConfiguration>
#include <QString>
#include <optional>

inline const QString kCertificateFileKey = QStringLiteral("CertificateFile");
inline const QString kKeyFileKey = QStringLiteral("KeyFile");

struct EndpointTls {
    bool wanted = false;                             // a certificate or a key is named
    std::optional<QSslConfiguration> configuration; // set when the pair can be served
    QString error;                                   // why not, when wanted
    QString warning;                                 // usable, but worth a word (expired)
};

EndpointTls loadEndpointTls(const QString &certificateFile, const QString &keyFile);
