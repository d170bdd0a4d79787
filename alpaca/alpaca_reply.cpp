#include "alpaca/alpaca_reply.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

AlpacaReply alpacaBadRequest(const QString &text)
{
    return {400, "text/plain; charset=utf-8", text.toUtf8(), {}};
}

AlpacaReply alpacaAnswer(uint32_t serverTransactionId, const std::optional<QJsonValue> &value,
                         uint32_t clientTransactionId, int errorNumber, const QString &message, const QString &source)
{
    QJsonObject o;
    if (value)
        o.insert(QStringLiteral("Value"), *value);
    o.insert(QStringLiteral("ClientTransactionID"), qint64(clientTransactionId));
    o.insert(QStringLiteral("ServerTransactionID"), qint64(serverTransactionId));
    o.insert(QStringLiteral("ErrorNumber"), errorNumber);
    o.insert(QStringLiteral("ErrorMessage"), message);
    if (!source.isEmpty())
        o.insert(QStringLiteral("ErrorSource"), source);
    return {200, "application/json; charset=utf-8", QJsonDocument(o).toJson(QJsonDocument::Compact), {}};
}

AlpacaReply alpacaMemberRefused(const QByteArray &method, const QString &name, bool nameKnown)
{
    if (!nameKnown)
        return alpacaBadRequest(QStringLiteral("Unknown member: %1").arg(name.left(100)));
    return alpacaBadRequest(QStringLiteral("%1 cannot be used with %2").arg(QString::fromLatin1(method), name));
}

std::optional<AlpacaReply> readAlpacaIds(const FormFields &fields, bool caseSensitive, AlpacaIds &ids)
{
    if (const auto text = fieldValue(fields, QStringLiteral("ClientID"), caseSensitive)) {
        const auto id = parseTransactionId(*text);
        if (!id)
            return alpacaBadRequest(QStringLiteral("Invalid ClientID: %1").arg(text->left(40)));
        ids.clientId = *id;
    }
    if (const auto text = fieldValue(fields, QStringLiteral("ClientTransactionID"), caseSensitive)) {
        const auto id = parseTransactionId(*text);
        if (!id)
            return alpacaBadRequest(QStringLiteral("Invalid ClientTransactionID: %1").arg(text->left(40)));
        ids.clientTransactionId = *id;
    }
    return std::nullopt;
}

QString alpacaDriverVersion()
{
    const QStringList parts = QStringLiteral(TARNWICK_VERSION).split(QLatin1Char('.'));
    return parts.size() >= 2 ? parts[0] + QLatin1Char('.') + parts[1] : QStringLiteral(TARNWICK_VERSION);
}

QString alpacaTimeStamp(const QDateTime &utc)
{
    return utc.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + QStringLiteral("0000Z");
}
