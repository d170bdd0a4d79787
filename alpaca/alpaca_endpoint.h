// The Alpaca side of the HTTP endpoint without the network: routes
// /api/v1/<type>/<number>/<member> to the device registered under that type
// and number (numbered from 0 per type, in the order added), and answers the
// management API and setup pages for all of them.
#pragma once

#include "alpaca/alpaca_served_device.h"

#include <memory>
#include <vector>

class AlpacaEndpoint {
public:
    // The device is not owned; it must outlive the endpoint.
    void addDevice(AlpacaServedDevice &device);
    void addDevice(std::unique_ptr<AlpacaServedDevice> device);

    AlpacaReply handle(const QByteArray &method, const QString &path, const QByteArray &query, const QByteArray &body);

    // Clients connected to any device, leaving one device out if asked.
    int connectedClients(const AlpacaServedDevice *except = nullptr) const;
    // Runs once the answer is sent, after a call that let the last connected
    // client of every device go.
    void setWhenIdle(std::function<void()> whenIdle) { m_whenIdle = std::move(whenIdle); }

    // The device serving type (lower case) and number, or nullptr.
    AlpacaServedDevice *device(const QString &type, uint32_t number) const;
    int deviceCount() const { return int(m_devices.size()); }

private:
    AlpacaReply handleManagement(const QString &path, const FormFields &fields);
    bool isSetupPage(const QString &path) const;
    uint32_t numberOf(const AlpacaServedDevice *device) const;

    std::vector<AlpacaServedDevice *> m_devices;
    std::vector<std::unique_ptr<AlpacaServedDevice>> m_owned;
    AlpacaTransactions m_transactions;
    std::function<void()> m_whenIdle;
};
