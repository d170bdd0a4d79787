// The Alpaca face of the Focuser, without the network: one member call in,
// one answer out. Checks the verb and the parameter syntax first (HTTP 400),
// then calls the member (HTTP 200, with the member's error as
// ErrorNumber/ErrorMessage). A client (by ClientID) that connects holds one
// Focuser object until it disconnects.
#pragma once

#include "alpaca/alpaca_served_device.h"
#include "focuser/focuser_context.h"

#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <functional>
#include <map>
#include <memory>

class Focuser;
struct FocuserContext;

class AlpacaDevice : public AlpacaServedDevice {
public:
    // Client objects held at once; a client beyond that is told so.
    static constexpr int kMaxClients = 256;

    explicit AlpacaDevice(FocuserContext &context);
    ~AlpacaDevice() override;

    QString deviceType() const override { return QStringLiteral("Focuser"); }
    QString deviceName() const override;
    QString description() const override;
    QString uniqueId() const override { return m_uniqueId; }
    int connectedClients() const override { return clientObjects(); }
    AlpacaReply handleMember(const QByteArray &method, const QString &member, const FormFields &fields,
                             AlpacaTransactions &transactions) override;

    int clientObjects() const { return int(m_clients.size()); }
    bool hasClient(uint32_t clientId) const { return m_clients.count(clientId) != 0; }
    void setUniqueId(const QString &id) { m_uniqueId = id; }

    struct Call;
    struct Member;
    // PUT connected/link: connecting makes the client's object, disconnecting
    // releases it after the answer is sent.
    QJsonValue connect(const Call &call, bool on, AlpacaReply &reply);

private:
    Focuser &objectFor(uint32_t clientId);

    FocuserContext &m_ctx;
    std::map<uint32_t, std::unique_ptr<Focuser>> m_clients;
    std::unique_ptr<Focuser> m_shared; // serves clients that hold no object
    QString m_uniqueId;
};

// A device's persistent UniqueID, kept under the profile's "Alpaca" subkey
// (the focuser's as "UniqueID"): read, or made and stored on first use (a
// fresh one each run when no profile is open).
QString alpacaUniqueId(const QString &key = QStringLiteral("UniqueID"));

// MaxIncrement as clients type it (int32): the setting rounded, within 1..MaxStep.
int32_t alpacaMaxIncrement(double maxInc, double maxStep);
