#include "alpaca/alpaca_endpoint.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QSysInfo>

namespace {
const char *kServerName = "Tarnwick";
const char *kManufacturer = "Tarnwick";

QString pathType(const AlpacaServedDevice *d)
{
    return d->deviceType().toLower();
}
} // namespace

void AlpacaEndpoint::addDevice(AlpacaServedDevice &device)
{
    m_devices.push_back(&device);
}

void AlpacaEndpoint::addDevice(std::unique_ptr<AlpacaServedDevice> device)
{
    m_devices.push_back(device.get());
    m_owned.push_back(std::move(device));
}

uint32_t AlpacaEndpoint::numberOf(const AlpacaServedDevice *device) const
{
    uint32_t n = 0;
    for (const AlpacaServedDevice *d : m_devices) {
        if (d == device)
            break;
        if (pathType(d) == pathType(device))
            ++n;
    }
    return n;
}

AlpacaServedDevice *AlpacaEndpoint::device(const QString &type, uint32_t number) const
{
    for (AlpacaServedDevice *d : m_devices)
        if (pathType(d) == type && numberOf(d) == number)
            return d;
    return nullptr;
}

bool AlpacaEndpoint::isSetupPage(const QString &path) const
{
    if (path == QLatin1String("/setup"))
        return true;
    for (const AlpacaServedDevice *d : m_devices)
        if (path == QStringLiteral("/setup/v1/%1/%2/setup").arg(pathType(d)).arg(numberOf(d)))
            return true;
    return false;
}

AlpacaReply AlpacaEndpoint::handle(const QByteArray &method, const QString &path, const QByteArray &query,
                                   const QByteArray &body)
{
    if (method != "GET" && method != "PUT")
        return alpacaBadRequest(QStringLiteral("Method not allowed: %1").arg(QString::fromLatin1(method.left(20))));
    if (path.startsWith(QLatin1String("/management/")) || isSetupPage(path)) {
        if (method != "GET")
            return alpacaBadRequest(QStringLiteral("Only GET is allowed on %1").arg(path.left(100)));
        return handleManagement(path, parseFormFields(query));
    }
    const DevicePath parsed = parseDevicePath(path);
    if (parsed.member.isEmpty())
        return alpacaBadRequest(parsed.error);
    bool typeKnown = false;
    for (const AlpacaServedDevice *d : m_devices)
        typeKnown = typeKnown || pathType(d) == parsed.type;
    if (!typeKnown)
        return alpacaBadRequest(QStringLiteral("Unknown device type: %1").arg(parsed.type.left(100)));
    AlpacaServedDevice *target = device(parsed.type, parsed.number);
    if (!target)
        return alpacaBadRequest(QStringLiteral("Device number not configured: %1").arg(parsed.number));
    // Parameters of a PUT travel in its body only, those of a GET in its query.
    const int before = connectedClients();
    AlpacaReply reply =
        target->handleMember(method, parsed.member, parseFormFields(method == "PUT" ? body : query), m_transactions);
    if (before > 0 && connectedClients() == 0 && m_whenIdle) {
        reply.afterSend = [first = std::move(reply.afterSend), idle = m_whenIdle] {
            if (first)
                first();
            idle();
        };
    }
    return reply;
}

int AlpacaEndpoint::connectedClients(const AlpacaServedDevice *except) const
{
    int n = 0;
    for (const AlpacaServedDevice *d : m_devices)
        if (d != except)
            n += d->connectedClients();
    return n;
}

AlpacaReply AlpacaEndpoint::handleManagement(const QString &path, const FormFields &fields)
{
    AlpacaIds ids;
    if (auto bad = readAlpacaIds(fields, false, ids))
        return *bad;
    const auto answer = [&](const QJsonValue &value) {
        return alpacaAnswer(m_transactions.next(), value, ids.clientTransactionId);
    };
    if (path == QLatin1String("/management/apiversions"))
        return answer(QJsonArray{1});
    if (path == QLatin1String("/management/v1/description")) {
        QJsonObject d;
        d.insert(QStringLiteral("ServerName"), QString::fromLatin1(kServerName));
        d.insert(QStringLiteral("Manufacturer"), QString::fromLatin1(kManufacturer));
        d.insert(QStringLiteral("ManufacturerVersion"), QStringLiteral(TARNWICK_VERSION));
        d.insert(QStringLiteral("Location"), QSysInfo::machineHostName());
        return answer(d);
    }
    if (path == QLatin1String("/management/v1/configureddevices")) {
        QJsonArray list;
        for (const AlpacaServedDevice *dev : m_devices) {
            QJsonObject d;
            d.insert(QStringLiteral("DeviceName"), dev->deviceName());
            d.insert(QStringLiteral("DeviceType"), dev->deviceType());
            d.insert(QStringLiteral("DeviceNumber"), qint64(numberOf(dev)));
            d.insert(QStringLiteral("UniqueID"), dev->uniqueId());
            list.append(d);
        }
        return answer(list);
    }
    if (isSetupPage(path)) {
        QByteArray html = QByteArray("<!DOCTYPE html><html><head><title>") + kServerName + "</title></head><body><h1>"
            + kServerName + " " + TARNWICK_VERSION + "</h1><ul>";
        for (const AlpacaServedDevice *dev : m_devices)
            html += "<li>" + dev->deviceName().toHtmlEscaped().toUtf8() + ": "
                + dev->description().toHtmlEscaped().toUtf8() + ".</li>";
        html += "</ul><p>Settings are made on the <a href=\"/settings\">settings page</a> or in the program's own "
                "Setup dialog; the <a href=\"/\">weather page</a> shows the watch.</p></body></html>";
        return {200, "text/html; charset=utf-8", html, {}};
    }
    return alpacaBadRequest(QStringLiteral("Unknown management path: %1").arg(path.left(100)));
}
