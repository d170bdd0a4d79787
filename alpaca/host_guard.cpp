#include "alpaca/host_guard.h"

#include <QNetworkInterface>
#include <QRegularExpression>
#include <QSysInfo>

namespace {
QString normalName(QString name)
{
    name = name.trimmed().toLower();
    if (name.startsWith(u'[') && name.endsWith(u']'))
        name = name.mid(1, name.size() - 2);
    if (name.endsWith(u'.'))
        name.chop(1);
    return name;
}

QHostAddress plainAddress(QHostAddress a)
{
    bool mapped = false;
    const quint32 v4 = a.toIPv4Address(&mapped);
    if (mapped)
        a = QHostAddress(v4);
    a.setScopeId(QString());
    return a;
}
} // namespace

HostGuard::HostGuard(Addresses addresses, QString hostName) : m_addresses(std::move(addresses))
{
    if (!m_addresses)
        m_addresses = [] { return QNetworkInterface::allAddresses(); };
    if (hostName.isNull())
        hostName = QSysInfo::machineHostName();
    m_ownNames << QStringLiteral("localhost");
    const QString host = normalName(hostName);
    if (!host.isEmpty()) {
        const QString shortName = host.section(u'.', 0, 0);
        m_ownNames << host << host + QStringLiteral(".local") << shortName << shortName + QStringLiteral(".local");
    }
}

void HostGuard::setAllowedHosts(const QString &commaSeparated)
{
    m_allowed.clear();
    for (const QString &name : commaSeparated.split(u',', Qt::SkipEmptyParts))
        if (const QString n = normalName(name); !n.isEmpty())
            m_allowed << n;
}

std::optional<QString> HostGuard::hostPart(const QByteArray &hostHeader)
{
    static const QRegularExpression shape(QStringLiteral("^(\\[[0-9a-fA-F:.%a-zA-Z]+\\]|[^\\[\\]:/@\\s]+)(:[0-9]{1,5})?$"));
    const QString text = QString::fromLatin1(hostHeader).trimmed();
    const QRegularExpressionMatch m = shape.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    return normalName(m.captured(1));
}

bool HostGuard::isOwnAddress(const QHostAddress &address) const
{
    const QHostAddress a = plainAddress(address);
    if (a.isLoopback())
        return true;
    if (a.isNull() || a == QHostAddress(QHostAddress::AnyIPv4) || a == QHostAddress(QHostAddress::AnyIPv6))
        return false;
    for (const QHostAddress &own : m_addresses())
        if (plainAddress(own) == a)
            return true;
    return false;
}

bool HostGuard::allows(const QByteArray &hostHeader) const
{
    if (hostHeader.trimmed().isEmpty())
        return true;
    const std::optional<QString> host = hostPart(hostHeader);
    if (!host || host->isEmpty())
        return false;
    if (m_ownNames.contains(*host) || m_allowed.contains(*host))
        return true;
    const QHostAddress address(*host);
    return !address.isNull() && isOwnAddress(address);
}
