// One device on the Alpaca endpoint as a table of members: the order of
// checks (verb, IDs and parameter syntax give HTTP 400, then the connection,
// then the member, whose AlpacaError is HTTP 200 with ErrorNumber), a
// connection per client (by ClientID) and, for the devices built to the
// current interfaces, the members every such device has (Platform 7:
// connect, disconnect, connecting, devicestate).
#pragma once

#include "alpaca/alpaca_served_device.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>
#include <functional>
#include <set>
#include <vector>

class AlpacaDevice : public AlpacaServedDevice {
public:
    // Clients connected at once; a client beyond that is told so.
    static constexpr int kMaxClients = 256;

    enum class Value { None, Bool, Int, Double, String, StringList, List };
    enum class Param { None, Bool, Int, Double, Text };

    struct Request {
        uint32_t clientId = 0;
        bool flag = false;
        int32_t whole = 0;
        double number = 0;
        QString text;                    // the parameter as sent
        QString extra;                   // Action's Parameters
        std::function<void()> afterSend; // runs once the answer is on its way
    };
    struct Member {
        QByteArray name;
        bool put;
        const char *param; // the required parameter, as spelled
        Param paramKind;
        Value kind;
        bool needsConnection;
        std::function<QJsonValue(Request &)> run; // throws AlpacaError
    };

    struct Identity {
        QString type; // "SafetyMonitor"
        QString name;
        QString description;
        QString driverInfo;
        int interfaceVersion = 1;
        QString uniqueId;
    };

    QString deviceType() const override { return m_identity.type; }
    QString deviceName() const override { return m_identity.name; }
    QString description() const override { return m_identity.description; }
    QString uniqueId() const override { return m_identity.uniqueId; }
    int connectedClients() const override { return int(m_connected.size()); }
    AlpacaReply handleMember(const QByteArray &method, const QString &member, const FormFields &fields,
                             AlpacaTransactions &transactions) override;

    bool connected(uint32_t clientId) const { return m_connected.count(clientId) != 0; }

protected:
    using Clock = std::function<QDateTime()>;
    AlpacaDevice(Identity identity, Clock clock = {});

    void addMembers(std::vector<Member> members);
    // connected, connect, disconnect, connecting, devicestate, the identity
    // members, action over supportedActions() and the retired command members.
    void addCommonMembers();
    QDateTime now() const { return m_clock(); }
    const Identity &identity() const { return m_identity; }

    // DeviceState's items before TimeStamp: the operational properties that
    // would not fail right now.
    virtual QJsonArray operationalState() { return {}; }
    virtual QStringList supportedActions() const { return {}; }
    // Runs a supported action (the name as listed); throws AlpacaError.
    virtual QString runAction(const QString &name, const QString &parameters);

    static QJsonObject stateItem(const QString &name, const QJsonValue &value);
    static QJsonValue dummyFor(Value kind);

private:
    void connectClient(uint32_t clientId, bool on);
    const Member *find(const QString &name, bool put, bool &nameKnown) const;
    std::optional<AlpacaReply> readParams(const Member &member, bool put, const FormFields &fields,
                                          Request &request) const;

    Identity m_identity;
    Clock m_clock;
    std::vector<Member> m_members;
    std::set<uint32_t> m_connected;
};
