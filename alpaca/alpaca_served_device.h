// One device on the Alpaca endpoint, as the endpoint's router sees it: its
// identity for the management answers, and its member calls.
#pragma once

#include "alpaca/alpaca_reply.h"

#include <QString>

class AlpacaServedDevice {
public:
    virtual ~AlpacaServedDevice() = default;

    // As the management answers spell it ("Focuser"); paths use it in lower case.
    virtual QString deviceType() const = 0;
    virtual QString deviceName() const = 0;
    virtual QString description() const = 0;
    virtual QString uniqueId() const = 0;
    // Clients that hold a connection to this device now.
    virtual int connectedClients() const = 0;

    // One call of a member; the path is checked, the verb is GET or PUT and the
    // fields are the query's (GET) or the body's (PUT).
    virtual AlpacaReply handleMember(const QByteArray &method, const QString &member, const FormFields &fields,
                                     AlpacaTransactions &transactions) = 0;
};
