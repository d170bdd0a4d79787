// The Alpaca face of the Focuser, without the network: one request in (verb,
// path, query, body), one answer out. Checks the path, the verb and the
// parameter syntax first (HTTP 400), then calls the member (HTTP 200, with the
// member's error as ErrorNumber/ErrorMessage). A client (by ClientID) that
// connects holds one Focuser object until it disconnects.
#pragma once

#include "focuser/alpaca_request.h"
#include "focuser/focuser_context.h"

#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <functional>
#include <map>
#include <memory>

class Focuser;
struct FocuserContext;

struct AlpacaReply {
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    std::function<void()> afterSend; // runs once the answer is on its way
};

class AlpacaDevice {
public:
    // Client objects held at once; a client beyond that is told so.
    static constexpr int kMaxClients = 256;

    explicit AlpacaDevice(FocuserContext &context);
    ~AlpacaDevice();

    AlpacaReply handle(const QByteArray &method, const QString &path, const QByteArray &query,
                       const QByteArray &body);

    int clientObjects() const { return int(m_clients.size()); }
    bool hasClient(uint32_t clientId) const { return m_clients.count(clientId) != 0; }
    void setUniqueId(const QString &id) { m_uniqueId = id; }
    QString uniqueId() const { return m_uniqueId; }

    struct Call;
    struct Member;
    // PUT connected/link: connecting makes the client's object, disconnecting
    // releases it after the answer is sent.
    QJsonValue connect(const Call &call, bool on, AlpacaReply &reply);

private:
    AlpacaReply handleDevice(const QByteArray &method, const QString &member, const FormFields &fields);
    AlpacaReply handleManagement(const QByteArray &method, const QString &path, const FormFields &fields);
    AlpacaReply answer(const std::optional<QJsonValue> &value, uint32_t clientTransactionId, int errorNumber = 0,
                       const QString &message = QString(), const QString &source = QString());
    Focuser &objectFor(uint32_t clientId);

    FocuserContext &m_ctx;
    std::map<uint32_t, std::unique_ptr<Focuser>> m_clients;
    std::unique_ptr<Focuser> m_shared; // serves clients that hold no object
    uint32_t m_serverTransactionId = 0;
    QString m_uniqueId;
};

// The persistent UniqueID of this device: read from the profile, made and stored
// there on first use (a fresh one each run when no profile is open).
QString alpacaUniqueId();
