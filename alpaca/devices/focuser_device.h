// focuser/0: the Focuser's members as a table over the dispatcher. The
// Focuser checks its own link, so no member needs a client connection here;
// its errors keep their numbers less the object-error base. A client (by
// ClientID) that connects holds one Focuser object until it disconnects.
#pragma once

#include "alpaca/alpaca_device.h"
#include "focuser/focuser_context.h"

#include <map>
#include <memory>

class Focuser;

class FocuserDevice : public AlpacaDevice {
public:
    FocuserDevice(FocuserContext &context, const QString &uniqueId);
    ~FocuserDevice() override;

    int connectedClients() const override { return clientObjects(); }

    int clientObjects() const { return int(m_clients.size()); }
    bool hasClient(uint32_t clientId) const { return m_clients.count(clientId) != 0; }

private:
    // PUT connected/link: connecting makes the client's object, disconnecting
    // releases it after the answer is sent.
    QJsonValue connect(Request &request);
    Focuser &objectFor(uint32_t clientId);
    std::vector<Member> focuserMembers();
    std::vector<Member> commonMembers();

    FocuserContext &m_ctx;
    std::map<uint32_t, std::unique_ptr<Focuser>> m_clients;
    std::unique_ptr<Focuser> m_shared; // serves clients that hold no object
};

// MaxIncrement as clients type it (int32): the setting rounded, within 1..MaxStep.
int32_t alpacaMaxIncrement(double maxInc, double maxStep);
