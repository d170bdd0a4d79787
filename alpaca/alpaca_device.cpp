// Alpaca member table and dispatch for device 0, the focuser.
#include "alpaca/alpaca_device.h"

#include "core/profile_store.h"
#include "core/program.h"
#include "core/settings.h"
#include "focuser/focuser.h"
#include "focuser/focuser_error.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>
#include <algorithm>
#include <cmath>

namespace {
enum class Verb { Get, Put };
enum class Kind { None, Bool, Int, Double, String, StringList };
enum class Param { None, Bool, Int, Text };

const char *kDeviceName = "Tarnwick focuser";
const char *kDescription = "Tarnwick weather watch, focuser view of the station";
const char *kDriverInfo = "Tarnwick focuser: a focuser-shaped read-out of the weather station";

QJsonValue dummyFor(Kind kind)
{
    switch (kind) {
    case Kind::Bool:
        return false;
    case Kind::Int:
        return 0;
    case Kind::Double:
        return 0.0;
    case Kind::String:
        return QString();
    case Kind::StringList:
        return QJsonArray();
    case Kind::None:
        break;
    }
    return QJsonValue();
}

// Our errors keep their number less the object-error base; anything else
// (overflow, division by zero) is an unspecified driver error. "Not
// connected" goes out as the standard NotConnected number: clients read our
// own 0x402 as ValueNotSet.
int alpacaErrorNumber(int32_t number)
{
    if (number == ErrNotConnected)
        return kAlpacaNotConnected;
    const uint32_t u = uint32_t(number);
    if ((u & 0xFFFF0000u) == uint32_t(kObjectErrorBase))
        return int(u & 0xFFFFu);
    return kAlpacaUnspecifiedError;
}

QJsonValue finite(double v)
{
    if (!std::isfinite(v))
        throw FocuserError(kObjectErrorBase + kAlpacaUnspecifiedError, QStringLiteral("The value is not a finite number"));
    return v;
}
} // namespace

struct AlpacaDevice::Call {
    AlpacaDevice &device;
    Focuser &focuser;
    uint32_t clientId;
    bool boolArg = false;
    int32_t intArg = 0;
    AlpacaReply *reply = nullptr;
};

struct AlpacaDevice::Member {
    const char *name;
    Verb verb;
    const char *param; // the required PUT parameter, as spelled
    Param paramKind;
    Kind kind;
    std::function<QJsonValue(Call &)> run;
};

namespace {
using Call = AlpacaDevice::Call;
using Member = AlpacaDevice::Member;

const std::vector<Member> &members()
{
    static const std::vector<Member> table = {
        // The Focuser's own members, under their names in lower case
        {"absolute", Verb::Get, nullptr, Param::None, Kind::Bool, [](Call &c) { return QJsonValue(c.focuser.Absolute()); }},
        {"ismoving", Verb::Get, nullptr, Param::None, Kind::Bool, [](Call &c) { return QJsonValue(c.focuser.IsMoving()); }},
        {"link", Verb::Get, nullptr, Param::None, Kind::Bool, [](Call &c) { return QJsonValue(c.focuser.Link()); }},
        {"link", Verb::Put, "Link", Param::Bool, Kind::None, [](Call &c) { return c.device.connect(c, c.boolArg, *c.reply); }},
        {"maxincrement", Verb::Get, nullptr, Param::None, Kind::Int, [](Call &c) {
             return QJsonValue(alpacaMaxIncrement(c.focuser.MaxIncrement(), prog().settings.WindSpeedCloseD));
         }},
        {"windspeedclosed", Verb::Get, nullptr, Param::None, Kind::Int, [](Call &c) { return QJsonValue(c.focuser.WindSpeedCloseD()); }},
        {"windcurrent", Verb::Get, nullptr, Param::None, Kind::Double, [](Call &c) { return finite(c.focuser.WindCurrent()); }},
        {"windspeedwarn", Verb::Get, nullptr, Param::None, Kind::Double, [](Call &c) { return finite(c.focuser.WindSpeedWarn()); }},
        {"tempcomp", Verb::Get, nullptr, Param::None, Kind::Bool, [](Call &c) { return QJsonValue(c.focuser.TempComp()); }},
        {"tempcomp", Verb::Put, "TempComp", Param::Bool, Kind::None, [](Call &c) { c.focuser.setTempComp(c.boolArg); return QJsonValue(); }},
        {"tempcompavailable", Verb::Get, nullptr, Param::None, Kind::Bool, [](Call &c) { return QJsonValue(c.focuser.TempCompAvailable()); }},
        {"temperature", Verb::Get, nullptr, Param::None, Kind::Double, [](Call &c) { return finite(c.focuser.Temperature()); }},
        {"halt", Verb::Put, nullptr, Param::None, Kind::None, [](Call &c) { c.focuser.Halt(); return QJsonValue(); }},
        {"setupdialog", Verb::Put, nullptr, Param::None, Kind::None, [](Call &c) { c.focuser.SetupDialog(); return QJsonValue(); }},
        {"move", Verb::Put, "Position", Param::Int, Kind::None, [](Call &c) { c.focuser.Move(c.intArg); return QJsonValue(); }},
        {"do_tempcomp", Verb::Put, nullptr, Param::None, Kind::None, [](Call &c) { c.focuser.do_tempcomp(); return QJsonValue(); }},
        // The standard names of the three renamed members
        {"maxstep", Verb::Get, nullptr, Param::None, Kind::Int, [](Call &c) { return QJsonValue(c.focuser.WindSpeedCloseD()); }},
        {"position", Verb::Get, nullptr, Param::None, Kind::Double, [](Call &c) { return finite(c.focuser.WindCurrent()); }},
        {"stepsize", Verb::Get, nullptr, Param::None, Kind::Double, [](Call &c) { return finite(c.focuser.WindSpeedWarn()); }},
        // Members every Alpaca device has
        // A client reads its own Connected=False even while others keep the link.
        {"connected", Verb::Get, nullptr, Param::None, Kind::Bool, [](Call &c) {
             return QJsonValue(c.focuser.Link() && c.device.hasClient(c.clientId));
         }},
        {"connected", Verb::Put, "Connected", Param::Bool, Kind::None, [](Call &c) { return c.device.connect(c, c.boolArg, *c.reply); }},
        {"description", Verb::Get, nullptr, Param::None, Kind::String, [](Call &) { return QJsonValue(QString::fromLatin1(kDescription)); }},
        {"driverinfo", Verb::Get, nullptr, Param::None, Kind::String, [](Call &) { return QJsonValue(QString::fromLatin1(kDriverInfo)); }},
        {"driverversion", Verb::Get, nullptr, Param::None, Kind::String, [](Call &) { return QJsonValue(alpacaDriverVersion()); }},
        {"interfaceversion", Verb::Get, nullptr, Param::None, Kind::Int, [](Call &) { return QJsonValue(1); }},
        {"name", Verb::Get, nullptr, Param::None, Kind::String, [](Call &) { return QJsonValue(QString::fromLatin1(kDeviceName)); }},
        {"supportedactions", Verb::Get, nullptr, Param::None, Kind::StringList, [](Call &) { return QJsonValue(QJsonArray()); }},
        {"action", Verb::Put, "Action", Param::Text, Kind::String, [](Call &) -> QJsonValue {
             throw FocuserError(kObjectErrorBase + kAlpacaActionNotImplemented, QStringLiteral("Action is not implemented by this focus driver."));
         }},
        {"commandblind", Verb::Put, "Command", Param::Text, Kind::None, [](Call &) -> QJsonValue {
             throw FocuserError(ErrNotImplemented, QStringLiteral("CommandBlind is not implemented by this focus driver."));
         }},
        {"commandbool", Verb::Put, "Command", Param::Text, Kind::Bool, [](Call &) -> QJsonValue {
             throw FocuserError(ErrNotImplemented, QStringLiteral("CommandBool is not implemented by this focus driver."));
         }},
        {"commandstring", Verb::Put, "Command", Param::Text, Kind::String, [](Call &) -> QJsonValue {
             throw FocuserError(ErrNotImplemented, QStringLiteral("CommandString is not implemented by this focus driver."));
         }},
    };
    return table;
}
} // namespace

AlpacaDevice::AlpacaDevice(FocuserContext &context)
    : m_ctx(context), m_shared(std::make_unique<Focuser>(context, Focuser::Lifetime::Uncounted))
{
    m_uniqueId = QUuid::createUuid().toString(QUuid::WithoutBraces);
}

AlpacaDevice::~AlpacaDevice()
{
    for (auto &client : m_clients)
        client.second->abandon();
}

Focuser &AlpacaDevice::objectFor(uint32_t clientId)
{
    auto it = m_clients.find(clientId);
    return it != m_clients.end() ? *it->second : *m_shared;
}

QJsonValue AlpacaDevice::connect(const Call &call, bool on, AlpacaReply &reply)
{
    auto it = m_clients.find(call.clientId);
    if (on) {
        if (it == m_clients.end()) {
            if (int(m_clients.size()) >= kMaxClients)
                throw FocuserError(kObjectErrorBase + kAlpacaUnspecifiedError,
                                   QStringLiteral("Too many clients are connected"));
            it = m_clients.emplace(call.clientId, std::make_unique<Focuser>(m_ctx)).first;
        }
        it->second->setLink(true);
        return QJsonValue();
    }
    // A client that holds no object is not connected: it has nothing to let go
    // of, and must not take the link from the clients that hold one.
    if (it == m_clients.end())
        return QJsonValue();
    it->second->setLink(false);
    // The client lets its object go once it has its answer; the last one may end the program.
    const uint32_t clientId = call.clientId;
    reply.afterSend = [this, clientId] { m_clients.erase(clientId); };
    return QJsonValue();
}

QString AlpacaDevice::deviceName() const
{
    return QString::fromLatin1(kDeviceName);
}

QString AlpacaDevice::description() const
{
    return QString::fromLatin1(kDescription);
}

AlpacaReply AlpacaDevice::handleMember(const QByteArray &method, const QString &name, const FormFields &fields,
                                       AlpacaTransactions &transactions)
{
    const Verb verb = method == "PUT" ? Verb::Put : Verb::Get;
    const bool caseSensitive = verb == Verb::Put;
    const Member *member = nullptr;
    bool nameKnown = false;
    for (const Member &m : members()) {
        if (name == QLatin1String(m.name)) {
            nameKnown = true;
            if (m.verb == verb)
                member = &m;
        }
    }
    if (!member)
        return alpacaMemberRefused(method, name, nameKnown);

    AlpacaIds ids;
    if (auto bad = readAlpacaIds(fields, caseSensitive, ids))
        return *bad;
    const uint32_t clientId = ids.clientId;
    const uint32_t clientTransactionId = ids.clientTransactionId;

    Call call{*this, objectFor(clientId), clientId};
    if (member->param) {
        const QString key = QString::fromLatin1(member->param);
        std::optional<AlpacaReply> bad;
        QString text;
        if (member->paramKind == Param::Bool)
            bad = readAlpacaParam(fields, key, true, parseAlpacaBool, call.boolArg);
        else if (member->paramKind == Param::Int)
            bad = readAlpacaParam(fields, key, true, parseAlpacaInt32, call.intArg);
        else
            bad = readAlpacaParam(fields, key, true, [](const QString &t) { return std::optional(t); }, text);
        if (bad)
            return *bad;
    }
    if (const auto raw = fieldValue(fields, QStringLiteral("Raw"), true); raw && member->paramKind == Param::Text
        && QLatin1String(member->param) == QLatin1String("Command") && !parseAlpacaBool(*raw))
        return alpacaBadRequest(QStringLiteral("Invalid value for Raw: %1").arg(raw->left(40)));

    AlpacaReply pending;
    call.reply = &pending;
    const bool hasValue = verb == Verb::Get || member->kind != Kind::None;
    AlpacaReply reply;
    try {
        const QJsonValue value = member->run(call);
        reply = alpacaAnswer(transactions.next(), hasValue ? std::optional<QJsonValue>(value) : std::nullopt,
                             clientTransactionId);
    } catch (const FocuserError &e) {
        reply = alpacaAnswer(transactions.next(),
                             hasValue ? std::optional<QJsonValue>(dummyFor(member->kind)) : std::nullopt,
                             clientTransactionId, alpacaErrorNumber(e.number()), e.description(), e.source());
    } catch (const std::exception &e) {
        return {500, "text/plain; charset=utf-8", QByteArray("Internal error: ") + e.what(), {}};
    }
    reply.afterSend = std::move(pending.afterSend);
    return reply;
}

int32_t alpacaMaxIncrement(double maxInc, double maxStep)
{
    // Halves to even, as every conversion to a whole number here.
    const double top = std::isfinite(maxStep) ? std::clamp(std::nearbyint(maxStep), 1.0, 2147483647.0) : 2147483647.0;
    const double v = std::isfinite(maxInc) ? std::nearbyint(maxInc) : top;
    return int32_t(std::clamp(v, 1.0, top));
}

QString alpacaUniqueId(const QString &key)
{
    const QString subKey = QStringLiteral("Alpaca");
    ProfileStore *profile = prog().profile;
    if (profile) {
        const QString stored = profile->value(kDriverId, key, subKey);
        if (!QUuid(stored).isNull())
            return stored;
    }
    const QString made = QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (profile)
        profile->writeValue(kDriverId, key, made, subKey);
    return made;
}
