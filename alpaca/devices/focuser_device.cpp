#include "alpaca/devices/focuser_device.h"

#include "core/settings.h"
#include "focuser/focuser.h"
#include "focuser/focuser_error.h"

#include <QJsonArray>
#include <algorithm>
#include <cmath>

namespace {
using V = AlpacaDevice::Value;
using P = AlpacaDevice::Param;
using Request = AlpacaDevice::Request;
using Member = AlpacaDevice::Member;

const char *kDeviceName = "Tarnwick focuser";
const char *kDescription = "Tarnwick weather watch, focuser view of the station";
const char *kDriverInfo = "Tarnwick focuser: a focuser-shaped read-out of the weather station";

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

// A member body that raises FocuserError, as the dispatcher runs it.
template <typename Body>
std::function<QJsonValue(Request &)> guarded(Body body)
{
    return [body = std::move(body)](Request &r) -> QJsonValue {
        try {
            return body(r);
        } catch (const FocuserError &e) {
            throw AlpacaError(alpacaErrorNumber(e.number()), e.description(), e.source());
        }
    };
}

QJsonValue finiteValue(double v)
{
    if (!std::isfinite(v))
        throw FocuserError(kObjectErrorBase + kAlpacaUnspecifiedError, QStringLiteral("The value is not a finite number"));
    return v;
}

[[noreturn]] void refuse(int32_t number, const char *text)
{
    throw FocuserError(number, QString::fromLatin1(text));
}
} // namespace

FocuserDevice::FocuserDevice(FocuserContext &context, const QString &uniqueId)
    : AlpacaDevice(Identity{QStringLiteral("Focuser"), QString::fromLatin1(kDeviceName), QString::fromLatin1(kDescription),
                            QString::fromLatin1(kDriverInfo), 1, uniqueId}),
      m_ctx(context), m_shared(std::make_unique<Focuser>(context, Focuser::Lifetime::Uncounted))
{
    addMembers(focuserMembers());
    addMembers(commonMembers());
}

FocuserDevice::~FocuserDevice()
{
    for (auto &client : m_clients)
        client.second->abandon();
}

std::vector<Member> FocuserDevice::focuserMembers()
{
    const auto get = [this](const char *name, V kind, auto read) {
        return Member{name, false, nullptr, P::None, kind, false,
                      guarded([this, read](Request &r) { return QJsonValue(read(objectFor(r.clientId))); })};
    };
    const auto act = [this](const char *name, const char *param, P kind, auto body) {
        return Member{name, true, param, kind, V::None, false, guarded([this, body](Request &r) {
                          body(objectFor(r.clientId), r);
                          return QJsonValue();
                      })};
    };
    return {
        // The Focuser's own members, under their names in lower case
        get("absolute", V::Bool, [](Focuser &f) { return f.Absolute(); }),
        get("ismoving", V::Bool, [](Focuser &f) { return f.IsMoving(); }),
        get("link", V::Bool, [](Focuser &f) { return f.Link(); }),
        {"link", true, "Link", P::Bool, V::None, false, guarded([this](Request &r) { return connect(r); })},
        get("maxincrement", V::Int,
            [this](Focuser &f) { return alpacaMaxIncrement(f.MaxIncrement(), m_ctx.settings.WindSpeedCloseD); }),
        get("windspeedclosed", V::Int, [](Focuser &f) { return f.WindSpeedCloseD(); }),
        get("windcurrent", V::Double, [](Focuser &f) { return finiteValue(f.WindCurrent()); }),
        get("windspeedwarn", V::Double, [](Focuser &f) { return finiteValue(f.WindSpeedWarn()); }),
        get("tempcomp", V::Bool, [](Focuser &f) { return f.TempComp(); }),
        act("tempcomp", "TempComp", P::Bool, [](Focuser &f, Request &r) { f.setTempComp(r.flag); }),
        get("tempcompavailable", V::Bool, [](Focuser &f) { return f.TempCompAvailable(); }),
        get("temperature", V::Double, [](Focuser &f) { return finiteValue(f.Temperature()); }),
        act("halt", nullptr, P::None, [](Focuser &f, Request &) { f.Halt(); }),
        act("setupdialog", nullptr, P::None, [](Focuser &f, Request &) { f.SetupDialog(); }),
        act("move", "Position", P::Int, [](Focuser &f, Request &r) { f.Move(r.whole); }),
        act("do_tempcomp", nullptr, P::None, [](Focuser &f, Request &) { f.do_tempcomp(); }),
        // The standard names of the three renamed members
        get("maxstep", V::Int, [](Focuser &f) { return f.WindSpeedCloseD(); }),
        get("position", V::Double, [](Focuser &f) { return finiteValue(f.WindCurrent()); }),
        get("stepsize", V::Double, [](Focuser &f) { return finiteValue(f.WindSpeedWarn()); }),
    };
}

// The members every Alpaca device has, as this version-1 focuser answers them.
std::vector<Member> FocuserDevice::commonMembers()
{
    const auto text = [](const char *name, QString value) {
        return Member{name, false, nullptr, P::None, V::String, false, [value](Request &) { return QJsonValue(value); }};
    };
    const auto refused = [](const char *name, const char *param, V kind, int32_t number, const char *message) {
        return Member{name, true, param, P::Text, kind, false,
                      guarded([number, message](Request &) -> QJsonValue { refuse(number, message); })};
    };
    return {
        // A client reads its own Connected=False even while others keep the link.
        {"connected", false, nullptr, P::None, V::Bool, false,
         guarded([this](Request &r) { return QJsonValue(objectFor(r.clientId).Link() && hasClient(r.clientId)); })},
        {"connected", true, "Connected", P::Bool, V::None, false, guarded([this](Request &r) { return connect(r); })},
        text("description", QString::fromLatin1(kDescription)),
        text("driverinfo", QString::fromLatin1(kDriverInfo)),
        text("driverversion", alpacaDriverVersion()),
        {"interfaceversion", false, nullptr, P::None, V::Int, false, [](Request &) { return QJsonValue(1); }},
        text("name", QString::fromLatin1(kDeviceName)),
        {"supportedactions", false, nullptr, P::None, V::StringList, false, [](Request &) { return QJsonValue(QJsonArray()); }},
        refused("action", "Action", V::String, kObjectErrorBase + kAlpacaActionNotImplemented,
                "Action is not implemented by this focus driver."),
        refused("commandblind", "Command", V::None, ErrNotImplemented, "CommandBlind is not implemented by this focus driver."),
        refused("commandbool", "Command", V::Bool, ErrNotImplemented, "CommandBool is not implemented by this focus driver."),
        refused("commandstring", "Command", V::String, ErrNotImplemented,
                "CommandString is not implemented by this focus driver."),
    };
}

Focuser &FocuserDevice::objectFor(uint32_t clientId)
{
    auto it = m_clients.find(clientId);
    return it != m_clients.end() ? *it->second : *m_shared;
}

QJsonValue FocuserDevice::connect(Request &request)
{
    auto it = m_clients.find(request.clientId);
    if (request.flag) {
        if (it == m_clients.end()) {
            if (int(m_clients.size()) >= kMaxClients)
                throw FocuserError(kObjectErrorBase + kAlpacaUnspecifiedError, QStringLiteral("Too many clients are connected"));
            it = m_clients.emplace(request.clientId, std::make_unique<Focuser>(m_ctx)).first;
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
    const uint32_t clientId = request.clientId;
    request.afterSend = [this, clientId] { m_clients.erase(clientId); };
    return QJsonValue();
}

int32_t alpacaMaxIncrement(double maxInc, double maxStep)
{
    // Halves to even, as every conversion to a whole number here.
    const double top = std::isfinite(maxStep) ? std::clamp(std::nearbyint(maxStep), 1.0, 2147483647.0) : 2147483647.0;
    const double v = std::isfinite(maxInc) ? std::nearbyint(maxInc) : top;
    return int32_t(std::clamp(v, 1.0, top));
}
