#include "alpaca/alpaca_device.h"

#include <QJsonObject>

namespace {
[[noreturn]] void commandsGone(const QString &member)
{
    throw AlpacaError(kAlpacaNotImplemented, member + QStringLiteral(" is not implemented"));
}
} // namespace

AlpacaDevice::AlpacaDevice(Identity identity, Clock clock) : m_identity(std::move(identity)), m_clock(std::move(clock))
{
    if (!m_clock)
        m_clock = [] { return QDateTime::currentDateTimeUtc(); };
}

QJsonValue AlpacaDevice::dummyFor(Value kind)
{
    switch (kind) {
    case Value::Bool:
        return false;
    case Value::Int:
        return 0;
    case Value::Double:
        return 0.0;
    case Value::String:
        return QString();
    case Value::StringList:
    case Value::List:
        return QJsonArray();
    case Value::None:
        break;
    }
    return QJsonValue();
}

void AlpacaDevice::addCommonMembers()
{
    using V = Value;
    using P = Param;
    const auto connectTo = [this](bool on) {
        return [this, on](Request &r) {
            connectClient(r.clientId, on);
            return QJsonValue();
        };
    };
    addMembers({
        {"connected", false, nullptr, P::None, V::Bool, false, [this](Request &r) { return QJsonValue(connected(r.clientId)); }},
        {"connected", true, "Connected", P::Bool, V::None, false,
         [this](Request &r) {
             connectClient(r.clientId, r.flag);
             return QJsonValue();
         }},
        // Connecting is immediate: there is no hardware to open.
        {"connect", true, nullptr, P::None, V::None, false, connectTo(true)},
        {"disconnect", true, nullptr, P::None, V::None, false, connectTo(false)},
        {"connecting", false, nullptr, P::None, V::Bool, false, [](Request &) { return QJsonValue(false); }},
        // Best endeavours: what is known now, and an empty list (no TimeStamp) when nothing is.
        {"devicestate", false, nullptr, P::None, V::List, false,
         [this](Request &r) {
             QJsonArray items = connected(r.clientId) ? operationalState() : QJsonArray();
             if (!items.isEmpty())
                 items.append(stateItem(QStringLiteral("TimeStamp"), alpacaTimeStamp(now())));
             return QJsonValue(items);
         }},
        {"description", false, nullptr, P::None, V::String, false, [this](Request &) { return QJsonValue(m_identity.description); }},
        {"driverinfo", false, nullptr, P::None, V::String, false, [this](Request &) { return QJsonValue(m_identity.driverInfo); }},
        {"driverversion", false, nullptr, P::None, V::String, false, [](Request &) { return QJsonValue(alpacaDriverVersion()); }},
        {"interfaceversion", false, nullptr, P::None, V::Int, false,
         [this](Request &) { return QJsonValue(m_identity.interfaceVersion); }},
        {"name", false, nullptr, P::None, V::String, false, [this](Request &) { return QJsonValue(m_identity.name); }},
        {"supportedactions", false, nullptr, P::None, V::StringList, false,
         [this](Request &) { return QJsonValue(QJsonArray::fromStringList(supportedActions())); }},
        {"action", true, "Action", P::Text, V::String, true,
         [this](Request &r) {
             for (const QString &name : supportedActions())
                 if (name.compare(r.text, Qt::CaseInsensitive) == 0)
                     return QJsonValue(runAction(name, r.extra));
             throw AlpacaError(kAlpacaActionNotImplemented, QStringLiteral("Action %1 is not supported").arg(r.text.left(60)));
         }},
        {"commandblind", true, "Command", P::Text, V::None, false, [](Request &) -> QJsonValue { commandsGone("CommandBlind"); }},
        {"commandbool", true, "Command", P::Text, V::Bool, false, [](Request &) -> QJsonValue { commandsGone("CommandBool"); }},
        {"commandstring", true, "Command", P::Text, V::String, false,
         [](Request &) -> QJsonValue { commandsGone("CommandString"); }},
    });
}

void AlpacaDevice::addMembers(std::vector<Member> members)
{
    for (Member &m : members)
        m_members.push_back(std::move(m));
}

QString AlpacaDevice::runAction(const QString &name, const QString &)
{
    throw AlpacaError(kAlpacaActionNotImplemented, QStringLiteral("Action %1 is not supported").arg(name));
}

QJsonObject AlpacaDevice::stateItem(const QString &name, const QJsonValue &value)
{
    QJsonObject o;
    o.insert(QStringLiteral("Name"), name);
    o.insert(QStringLiteral("Value"), value);
    return o;
}

void AlpacaDevice::connectClient(uint32_t clientId, bool on)
{
    if (!on) {
        m_connected.erase(clientId);
        return;
    }
    if (!connected(clientId) && int(m_connected.size()) >= kMaxClients)
        throw AlpacaError(kAlpacaUnspecifiedError, QStringLiteral("Too many clients are connected"));
    m_connected.insert(clientId);
}

const AlpacaDevice::Member *AlpacaDevice::find(const QString &name, bool put, bool &nameKnown) const
{
    const Member *member = nullptr;
    nameKnown = false;
    for (const Member &m : m_members) {
        if (name == QLatin1String(m.name)) {
            nameKnown = true;
            if (m.put == put)
                member = &m;
        }
    }
    return member;
}

std::optional<AlpacaReply> AlpacaDevice::readParams(const Member &member, bool put, const FormFields &fields,
                                                    Request &request) const
{
    if (member.param) {
        const QString key = QString::fromLatin1(member.param);
        const auto text = [](const QString &t) { return std::optional(t); };
        std::optional<AlpacaReply> bad = readAlpacaParam(fields, key, put, text, request.text);
        if (!bad && member.paramKind == Param::Bool)
            bad = readAlpacaParam(fields, key, put, parseAlpacaBool, request.flag);
        else if (!bad && member.paramKind == Param::Int)
            bad = readAlpacaParam(fields, key, put, parseAlpacaInt32, request.whole);
        else if (!bad && member.paramKind == Param::Double)
            bad = readAlpacaParam(fields, key, put, parseAlpacaDouble, request.number);
        if (bad)
            return bad;
    }
    if (put && member.name == "action")
        request.extra = fieldValue(fields, QStringLiteral("Parameters"), true).value_or(QString());
    if (const auto raw = fieldValue(fields, QStringLiteral("Raw"), true);
        raw && member.name.startsWith("command") && !parseAlpacaBool(*raw))
        return alpacaBadRequest(QStringLiteral("Invalid value for Raw: %1").arg(raw->left(40)));
    return std::nullopt;
}

AlpacaReply AlpacaDevice::handleMember(const QByteArray &method, const QString &name, const FormFields &fields,
                                       AlpacaTransactions &transactions)
{
    const bool put = method == "PUT";
    bool nameKnown = false;
    const Member *member = find(name, put, nameKnown);
    if (!member)
        return alpacaMemberRefused(method, name, nameKnown);

    // GET keys match in any case, PUT keys only as spelled.
    AlpacaIds ids;
    if (auto bad = readAlpacaIds(fields, put, ids))
        return *bad;
    Request request;
    request.clientId = ids.clientId;
    if (auto bad = readParams(*member, put, fields, request))
        return *bad;

    const bool hasValue = !put || member->kind != Value::None;
    AlpacaReply reply;
    try {
        if (member->needsConnection && !connected(ids.clientId))
            throw AlpacaError(kAlpacaNotConnected, QStringLiteral("%1 is not connected").arg(m_identity.name));
        const QJsonValue value = member->run(request);
        reply = alpacaAnswer(transactions.next(), hasValue ? std::optional<QJsonValue>(value) : std::nullopt,
                             ids.clientTransactionId);
    } catch (const AlpacaError &e) {
        reply = alpacaAnswer(transactions.next(), hasValue ? std::optional<QJsonValue>(dummyFor(member->kind)) : std::nullopt,
                             ids.clientTransactionId, e.number(), e.message(), e.source());
    } catch (const std::exception &e) {
        return {500, "text/plain; charset=utf-8", QByteArray("Internal error: ") + e.what(), {}};
    }
    reply.afterSend = std::move(request.afterSend);
    return reply;
}
