// The common ground of the devices built to the current interfaces
// (Platform 7: connect, disconnect, connecting, devicestate): the member
// table, the order of checks (verb, IDs and parameter syntax give HTTP 400,
// then the connection, then the member), a connection per client (by
// ClientID), and the members every device has.
#pragma once

#include "alpaca/alpaca_served_device.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>
#include <functional>
#include <set>
#include <vector>

class AlpacaStandardDevice : public AlpacaServedDevice {
public:
    static constexpr int kMaxClients = 256;

    enum class Value { None, Bool, Int, Double, String, StringList, List };
    enum class Param { None, Bool, Double, Text };

    struct Request {
        uint32_t clientId = 0;
        bool flag = false;
        double number = 0;
        QString text;
        QString extra; // Action's Parameters
    };
    struct Member {
        QByteArray name;
        bool put;
        const char *param; // the required parameter, as spelled
        Param paramKind;
        Value kind;
        bool needsConnection;
        std::function<QJsonValue(const Request &)> run; // throws AlpacaError
    };

    struct Identity {
        QString type;        // "SafetyMonitor"
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
    AlpacaStandardDevice(Identity identity, Clock clock);

    void addMembers(std::vector<Member> members);
    QDateTime now() const { return m_clock(); }

    // DeviceState's items before TimeStamp: the operational properties that
    // would not fail right now.
    virtual QJsonArray operationalState() = 0;
    virtual QStringList supportedActions() const { return {}; }
    // Runs a supported action (the name as listed); throws AlpacaError.
    virtual QString runAction(const QString &name, const QString &parameters);

    static QJsonObject stateItem(const QString &name, const QJsonValue &value);

private:
    void connectClient(uint32_t clientId, bool on);

    Identity m_identity;
    Clock m_clock;
    std::vector<Member> m_members;
    std::set<uint32_t> m_connected;
};
