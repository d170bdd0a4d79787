#include "alpaca/alpaca_standard_device.h"

#include <QJsonObject>

namespace {
QJsonValue dummyFor(AlpacaStandardDevice::Value kind)
{
    using V = AlpacaStandardDevice::Value;
    switch (kind) {
    case V::Bool:
        return false;
    case V::Int:
        return 0;
    case V::Double:
        return 0.0;
    case V::String:
        return QString();
    case V::StringList:
    case V::List:
        return QJsonArray();
    case V::None:
        break;
    }
    return QJsonValue();
}

[[noreturn]] void commandsGone(const QString &member)
{
    throw AlpacaError(kAlpacaNotImplemented, member + QStringLiteral(" is not implemented"));
}
} // namespace

AlpacaStandardDevice::AlpacaStandardDevice(Identity identity, Clock clock)
    : m_identity(std::move(identity)), m_clock(std::move(clock))
{
    if (!m_clock)
        m_clock = [] { return QDateTime::currentDateTimeUtc(); };
    using V = Value;
    using P = Param;
    const auto connectTo = [this](bool on) {
        return [this, on](const Request &r) {
            connectClient(r.clientId, on);
            return QJsonValue();
        };
    };
    addMembers({
        {"connected", false, nullptr, P::None, V::Bool, false,
         [this](const Request &r) { return QJsonValue(connected(r.clientId)); }},
        {"connected", true, "Connected", P::Bool, V::None, false,
         [this](const Request &r) {
             connectClient(r.clientId, r.flag);
             return QJsonValue();
         }},
        // Connecting is immediate: there is no hardware to open.
        {"connect", true, nullptr, P::None, V::None, false, connectTo(true)},
        {"disconnect", true, nullptr, P::None, V::None, false, connectTo(false)},
        {"connecting", false, nullptr, P::None, V::Bool, false, [](const Request &) { return QJsonValue(false); }},
        // Best endeavours: what is known now, and an empty list (no TimeStamp) when nothing is.
        {"devicestate", false, nullptr, P::None, V::List, false,
         [this](const Request &r) {
             QJsonArray items = connected(r.clientId) ? operationalState() : QJsonArray();
             if (!items.isEmpty())
                 items.append(stateItem(QStringLiteral("TimeStamp"), alpacaTimeStamp(now())));
             return QJsonValue(items);
         }},
        {"description", false, nullptr, P::None, V::String, false,
         [this](const Request &) { return QJsonValue(m_identity.description); }},
        {"driverinfo", false, nullptr, P::None, V::String, false,
         [this](const Request &) { return QJsonValue(m_identity.driverInfo); }},
        {"driverversion", false, nullptr, P::None, V::String, false,
         [](const Request &) { return QJsonValue(alpacaDriverVersion()); }},
        {"interfaceversion", false, nullptr, P::None, V::Int, false,
         [this](const Request &) { return QJsonValue(m_identity.interfaceVersion); }},
        {"name", false, nullptr, P::None, V::String, false, [this](const Request &) { return QJsonValue(m_identity.name); }},
        {"supportedactions", false, nullptr, P::None, V::StringList, false,
         [this](const Request &) { return QJsonValue(QJsonArray::fromStringList(supportedActions())); }},
        {"action", true, "Action", P::Text, V::String, true,
         [this](const Request &r) {
             for (const QString &name : supportedActions())
                 if (name.compare(r.text, Qt::CaseInsensitive) == 0)
                     return QJsonValue(runAction(name, r.extra));
             throw AlpacaError(kAlpacaActionNotImplemented,
                               QStringLiteral("Action %1 is not supported").arg(r.text.left(60)));
         }},
        {"commandblind", true, "Command", P::Text, V::None, false, [](const Request &) -> QJsonValue { commandsGone("CommandBlind"); }},
        {"commandbool", true, "Command", P::Text, V::Bool, false, [](const Request &) -> QJsonValue { commandsGone("CommandBool"); }},
        {"commandstring", true, "Command", P::Text, V::String, false,
         [](const Request &) -> QJsonValue { commandsGone("CommandString"); }},
    });
}

void AlpacaStandardDevice::addMembers(std::vector<Member> members)
{
    for (Member &m : members)
        m_members.push_back(std::move(m));
}

QString AlpacaStandardDevice::runAction(const QString &name, const QString &)
{
    throw AlpacaError(kAlpacaActionNotImplemented, QStringLiteral("Action %1 is not supported").arg(name));
}

QJsonObject AlpacaStandardDevice::stateItem(const QString &name, const QJsonValue &value)
{
    QJsonObject o;
    o.insert(QStringLiteral("Name"), name);
    o.insert(QStringLiteral("Value"), value);
    return o;
}

void AlpacaStandardDevice::connectClient(uint32_t clientId, bool on)
{
    if (!on) {
        m_connected.erase(clientId);
        return;
    }
    if (!connected(clientId) && int(m_connected.size()) >= kMaxClients)
        throw AlpacaError(kAlpacaUnspecifiedError, QStringLiteral("Too many clients are connected"));
    m_connected.insert(clientId);
}

AlpacaReply AlpacaStandardDevice::handleMember(const QByteArray &method, const QString &name, const FormFields &fields,
                                               AlpacaTransactions &transactions)
{
    const bool put = method == "PUT";
    const Member *member = nullptr;
    bool nameKnown = false;
    for (const Member &m : m_members) {
        if (name == QLatin1String(m.name)) {
            nameKnown = true;
            if (m.put == put)
                member = &m;
        }
    }
    if (!member)
        return alpacaMemberRefused(method, name, nameKnown);

    // GET keys match in any case, PUT keys only as spelled.
    AlpacaIds ids;
    if (auto bad = readAlpacaIds(fields, put, ids))
        return *bad;
    Request request;
    request.clientId = ids.clientId;
    if (member->param) {
        const QString key = QString::fromLatin1(member->param);
        std::optional<AlpacaReply> bad =
            readAlpacaParam(fields, key, put, [](const QString &t) { return std::optional(t); }, request.text);
        if (!bad && member->paramKind == Param::Bool)
            bad = readAlpacaParam(fields, key, put, parseAlpacaBool, request.flag);
        else if (!bad && member->paramKind == Param::Double)
            bad = readAlpacaParam(fields, key, put, parseAlpacaDouble, request.number);
        if (bad)
            return *bad;
    }
    if (put && name == QLatin1String("action"))
        request.extra = fieldValue(fields, QStringLiteral("Parameters"), true).value_or(QString());
    if (const auto raw = fieldValue(fields, QStringLiteral("Raw"), true);
        raw && name.startsWith(QLatin1String("command")) && !parseAlpacaBool(*raw))
        return alpacaBadRequest(QStringLiteral("Invalid value for Raw: %1").arg(raw->left(40)));

    const bool hasValue = !put || member->kind != Value::None;
    try {
        if (member->needsConnection && !connected(ids.clientId))
            throw AlpacaError(kAlpacaNotConnected, QStringLiteral("%1 is not connected").arg(m_identity.name));
        const QJsonValue value = member->run(request);
        return alpacaAnswer(transactions.next(), hasValue ? std::optional<QJsonValue>(value) : std::nullopt,
                            ids.clientTransactionId);
    } catch (const AlpacaError &e) {
        return alpacaAnswer(transactions.next(), hasValue ? std::optional<QJsonValue>(dummyFor(member->kind)) : std::nullopt,
                            ids.clientTransactionId, e.number(), e.message());
    }
}
