// Alpaca member table and dispatch for device 0, the focuser.
#include "focuser/alpaca_device.h"

#include "core/profile_store.h"
#include "core/program.h"
#include "core/settings.h"
#include "focuser/focuser.h"
#include "focuser/focuser_error.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <QUuid>
#include <cmath>

namespace {
constexpr int kNotImplemented = 0x400;
constexpr int kActionNotImplemented = 0x40C;
constexpr int kUnspecifiedError = 0x4FF;

enum class Verb { Get, Put };
enum class Kind { None, Bool, Int, Double, String, StringList };
enum class Param { None, Bool, Int, Text };

const char *kServerName = "Tarnwick";
const char *kDeviceName = "Tarnwick focuser";
const char *kDescription = "Tarnwick weather watch, focuser view of the station";
const char *kDriverInfo = "Tarnwick focuser: a focuser-shaped read-out of the weather station";
const char *kManufacturer = "Tarnwick";

QString driverVersion()
{
    const QStringList parts = QStringLiteral(TARNWICK_VERSION).split(QLatin1Char('.'));
    return parts.size() >= 2 ? parts[0] + QLatin1Char('.') + parts[1] : QStringLiteral(TARNWICK_VERSION);
}

AlpacaReply badRequest(const QString &text)
{
    return {400, "text/plain; charset=utf-8", text.toUtf8(), {}};
}

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
// (overflow, division by zero) is an unspecified driver error.
int alpacaErrorNumber(int32_t number)
{
    const uint32_t u = uint32_t(number);
    if ((u & 0xFFFF0000u) == uint32_t(kObjectErrorBase))
        return int(u & 0xFFFFu);
    return kUnspecifiedError;
}

QJsonValue finite(double v)
{
    if (!std::isfinite(v))
        throw FocuserError(kObjectErrorBase + kUnspecifiedError, QStringLiteral("The value is not a finite number"));
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
        {"maxincrement", Verb::Get, nullptr, Param::None, Kind::Double, [](Call &c) { return finite(c.focuser.MaxIncrement()); }},
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
        {"connected", Verb::Get, nullptr, Param::None, Kind::Bool, [](Call &c) { return QJsonValue(c.focuser.Link()); }},
        {"connected", Verb::Put, "Connected", Param::Bool, Kind::None, [](Call &c) { return c.device.connect(c, c.boolArg, *c.reply); }},
        {"description", Verb::Get, nullptr, Param::None, Kind::String, [](Call &) { return QJsonValue(QString::fromLatin1(kDescription)); }},
        {"driverinfo", Verb::Get, nullptr, Param::None, Kind::String, [](Call &) { return QJsonValue(QString::fromLatin1(kDriverInfo)); }},
        {"driverversion", Verb::Get, nullptr, Param::None, Kind::String, [](Call &) { return QJsonValue(driverVersion()); }},
        {"interfaceversion", Verb::Get, nullptr, Param::None, Kind::Int, [](Call &) { return QJsonValue(1); }},
        {"name", Verb::Get, nullptr, Param::None, Kind::String, [](Call &) { return QJsonValue(QString::fromLatin1(kDeviceName)); }},
        {"supportedactions", Verb::Get, nullptr, Param::None, Kind::StringList, [](Call &) { return QJsonValue(QJsonArray()); }},
        {"action", Verb::Put, "Action", Param::Text, Kind::String, [](Call &) -> QJsonValue {
             throw FocuserError(kObjectErrorBase + kActionNotImplemented, QStringLiteral("Action is not implemented by this focus driver."));
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
                throw FocuserError(kObjectErrorBase + kUnspecifiedError,
                                   QStringLiteral("Too many clients are connected"));
            it = m_clients.emplace(call.clientId, std::make_unique<Focuser>(m_ctx)).first;
        }
        it->second->setLink(true);
        return QJsonValue();
    }
    if (it == m_clients.end()) {
        m_shared->setLink(false);
        return QJsonValue();
    }
    it->second->setLink(false);
    // The client lets its object go once it has its answer; the last one may end the program.
    const uint32_t clientId = call.clientId;
    reply.afterSend = [this, clientId] { m_clients.erase(clientId); };
    return QJsonValue();
}

AlpacaReply AlpacaDevice::answer(const std::optional<QJsonValue> &value, uint32_t clientTransactionId, int errorNumber,
                                 const QString &message, const QString &source)
{
    if (++m_serverTransactionId == 0)
        m_serverTransactionId = 1;
    QJsonObject o;
    if (value)
        o.insert(QStringLiteral("Value"), *value);
    o.insert(QStringLiteral("ClientTransactionID"), qint64(clientTransactionId));
    o.insert(QStringLiteral("ServerTransactionID"), qint64(m_serverTransactionId));
    o.insert(QStringLiteral("ErrorNumber"), errorNumber);
    o.insert(QStringLiteral("ErrorMessage"), message);
    if (!source.isEmpty())
        o.insert(QStringLiteral("ErrorSource"), source);
    return {200, "application/json; charset=utf-8", QJsonDocument(o).toJson(QJsonDocument::Compact), {}};
}

AlpacaReply AlpacaDevice::handle(const QByteArray &method, const QString &path, const QByteArray &query,
                                 const QByteArray &body)
{
    if (method != "GET" && method != "PUT")
        return badRequest(QStringLiteral("Method not allowed: %1").arg(QString::fromLatin1(method.left(20))));
    if (path.startsWith(QLatin1String("/management/")) || path == QLatin1String("/setup")
        || path == QLatin1String("/setup/v1/focuser/0/setup")) {
        if (method != "GET")
            return badRequest(QStringLiteral("Only GET is allowed on %1").arg(path.left(100)));
        return handleManagement(method, path, parseFormFields(query));
    }
    const DevicePath device = parseDevicePath(path);
    if (device.member.isEmpty())
        return badRequest(device.error);
    // Parameters of a PUT travel in its body only, those of a GET in its query.
    return handleDevice(method, device.member, parseFormFields(method == "PUT" ? body : query));
}

AlpacaReply AlpacaDevice::handleDevice(const QByteArray &method, const QString &name, const FormFields &fields)
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
    if (!nameKnown)
        return badRequest(QStringLiteral("Unknown member: %1").arg(name.left(100)));
    if (!member)
        return badRequest(QStringLiteral("%1 cannot be used with %2").arg(QString::fromLatin1(method), name));

    uint32_t clientId = 0;
    uint32_t clientTransactionId = 0;
    if (const auto text = fieldValue(fields, QStringLiteral("ClientID"), caseSensitive)) {
        const auto id = parseTransactionId(*text);
        if (!id)
            return badRequest(QStringLiteral("Invalid ClientID: %1").arg(text->left(40)));
        clientId = *id;
    }
    if (const auto text = fieldValue(fields, QStringLiteral("ClientTransactionID"), caseSensitive)) {
        const auto id = parseTransactionId(*text);
        if (!id)
            return badRequest(QStringLiteral("Invalid ClientTransactionID: %1").arg(text->left(40)));
        clientTransactionId = *id;
    }

    Call call{*this, objectFor(clientId), clientId};
    if (member->param) {
        const QString key = QString::fromLatin1(member->param);
        const auto text = fieldValue(fields, key, true);
        if (!text)
            return badRequest(QStringLiteral("Missing parameter %1").arg(key));
        if (member->paramKind == Param::Bool) {
            const auto b = parseAlpacaBool(*text);
            if (!b)
                return badRequest(QStringLiteral("Invalid value for %1: %2").arg(key, text->left(40)));
            call.boolArg = *b;
        } else if (member->paramKind == Param::Int) {
            const auto i = parseAlpacaInt32(*text);
            if (!i)
                return badRequest(QStringLiteral("Invalid value for %1: %2").arg(key, text->left(40)));
            call.intArg = *i;
        }
    }
    if (const auto raw = fieldValue(fields, QStringLiteral("Raw"), true); raw && member->paramKind == Param::Text
        && QLatin1String(member->param) == QLatin1String("Command") && !parseAlpacaBool(*raw))
        return badRequest(QStringLiteral("Invalid value for Raw: %1").arg(raw->left(40)));

    AlpacaReply pending;
    call.reply = &pending;
    const bool hasValue = verb == Verb::Get || member->kind != Kind::None;
    AlpacaReply reply;
    try {
        const QJsonValue value = member->run(call);
        reply = answer(hasValue ? std::optional<QJsonValue>(value) : std::nullopt, clientTransactionId);
    } catch (const FocuserError &e) {
        reply = answer(hasValue ? std::optional<QJsonValue>(dummyFor(member->kind)) : std::nullopt, clientTransactionId,
                       alpacaErrorNumber(e.number()), e.description(), e.source());
    } catch (const std::exception &e) {
        return {500, "text/plain; charset=utf-8", QByteArray("Internal error: ") + e.what(), {}};
    }
    reply.afterSend = std::move(pending.afterSend);
    return reply;
}

AlpacaReply AlpacaDevice::handleManagement(const QByteArray &, const QString &path, const FormFields &fields)
{
    uint32_t clientTransactionId = 0;
    if (const auto text = fieldValue(fields, QStringLiteral("ClientTransactionID"), false)) {
        const auto id = parseTransactionId(*text);
        if (!id)
            return badRequest(QStringLiteral("Invalid ClientTransactionID: %1").arg(text->left(40)));
        clientTransactionId = *id;
    }
    if (const auto text = fieldValue(fields, QStringLiteral("ClientID"), false); text && !parseTransactionId(*text))
        return badRequest(QStringLiteral("Invalid ClientID: %1").arg(text->left(40)));

    if (path == QLatin1String("/management/apiversions"))
        return answer(QJsonValue(QJsonArray{1}), clientTransactionId);
    if (path == QLatin1String("/management/v1/description")) {
        QJsonObject d;
        d.insert(QStringLiteral("ServerName"), QString::fromLatin1(kServerName));
        d.insert(QStringLiteral("Manufacturer"), QString::fromLatin1(kManufacturer));
        d.insert(QStringLiteral("ManufacturerVersion"), QStringLiteral(TARNWICK_VERSION));
        d.insert(QStringLiteral("Location"), QSysInfo::machineHostName());
        return answer(QJsonValue(d), clientTransactionId);
    }
    if (path == QLatin1String("/management/v1/configureddevices")) {
        QJsonObject d;
        d.insert(QStringLiteral("DeviceName"), QString::fromLatin1(kDeviceName));
        d.insert(QStringLiteral("DeviceType"), QStringLiteral("Focuser"));
        d.insert(QStringLiteral("DeviceNumber"), 0);
        d.insert(QStringLiteral("UniqueID"), m_uniqueId);
        return answer(QJsonValue(QJsonArray{d}), clientTransactionId);
    }
    if (path == QLatin1String("/setup") || path == QLatin1String("/setup/v1/focuser/0/setup")) {
        const QByteArray html = QByteArray("<!DOCTYPE html><html><head><title>") + kServerName
            + "</title></head><body><h1>" + kServerName + " " + TARNWICK_VERSION + "</h1><p>" + kDescription
            + ".</p><p>Settings are made in the program's own Setup dialog.</p></body></html>";
        return {200, "text/html; charset=utf-8", html, {}};
    }
    return badRequest(QStringLiteral("Unknown management path: %1").arg(path.left(100)));
}

QString alpacaUniqueId()
{
    const QString key = QStringLiteral("UniqueID");
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
