// Which Host headers the HTTP endpoint answers, so that a web page elsewhere
// cannot reach it through a name that resolves to this machine (DNS
// rebinding): an address of this machine (with or without the port),
// "localhost", the machine's host name (also with ".local"), or a name the
// user allowed. A request without Host (HTTP/1.0) is answered.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class HostGuard {
public:
    using Addresses = std::function<QList<QHostAddress>()>;

    // addresses: this machine's addresses, asked when an address is to be
    // checked (interfaces come and go); hostName: this machine's name.
    explicit HostGuard(Addresses addresses = {}, QString hostName = {});

    // Names allowed besides the machine's own, comma-separated ("AllowedHosts").
    void setAllowedHosts(const QString &commaSeparated);
    bool allows(const QByteArray &hostHeader) const;

    // The host part of a Host header in lower case, without port, brackets or
    // a trailing dot; empty when the header is malformed.
    static std::optional<QString> hostPart(const QByteArray &hostHeader);

private:
    bool isOwnAddress(const QHostAddress &address) const;

    Addresses m_addresses;
    QStringList m_ownNames; // lower case
    QStringList m_allowed;
};
