// What every Alpaca answer shares: the reply type, the error numbers, the
// envelope with the two transaction numbers, the 400 text and the request's
// transaction IDs.
#pragma once

#include "alpaca/alpaca_request.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonValue>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>

struct AlpacaReply {
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    std::function<void()> afterSend; // runs once the answer is on its way
};

inline constexpr int kAlpacaNotImplemented = 0x400;
inline constexpr int kAlpacaInvalidValue = 0x401;
inline constexpr int kAlpacaNotConnected = 0x407;
inline constexpr int kAlpacaInvalidOperation = 0x40B;
inline constexpr int kAlpacaActionNotImplemented = 0x40C;
inline constexpr int kAlpacaUnspecifiedError = 0x4FF;

// A member's failure, answered as HTTP 200 with ErrorNumber/ErrorMessage
// (and ErrorSource when the source is given).
class AlpacaError : public std::runtime_error {
public:
    AlpacaError(int number, const QString &message, const QString &source = QString())
        : std::runtime_error(message.toStdString()), m_number(number), m_message(message), m_source(source)
    {
    }
    int number() const { return m_number; }
    QString message() const { return m_message; }
    QString source() const { return m_source; }

private:
    int m_number;
    QString m_message;
    QString m_source;
};

// The server's transaction numbers: one counter for every device, never 0.
class AlpacaTransactions {
public:
    uint32_t next()
    {
        if (++m_last == 0)
            m_last = 1;
        return m_last;
    }

private:
    uint32_t m_last = 0;
};

AlpacaReply alpacaBadRequest(const QString &text);

// The JSON envelope; Value only when given. source, when set, goes out as ErrorSource.
AlpacaReply alpacaAnswer(uint32_t serverTransactionId, const std::optional<QJsonValue> &value,
                         uint32_t clientTransactionId, int errorNumber = 0, const QString &message = QString(),
                         const QString &source = QString());

struct AlpacaIds {
    uint32_t clientId = 0;
    uint32_t clientTransactionId = 0;
};
// ClientID and ClientTransactionID with the key-case rule of the verb; a
// malformed value is a bad request, returned instead.
std::optional<AlpacaReply> readAlpacaIds(const FormFields &fields, bool caseSensitive, AlpacaIds &ids);

// A member name the device does not have, or has only for the other verb.
AlpacaReply alpacaMemberRefused(const QByteArray &method, const QString &name, bool nameKnown);

// A required parameter read with parse (text -> optional value); missing or
// unparsable is a bad request, returned instead.
template <typename T, typename Parse>
std::optional<AlpacaReply> readAlpacaParam(const FormFields &fields, const QString &key, bool caseSensitive,
                                           Parse parse, T &out)
{
    const auto text = fieldValue(fields, key, caseSensitive);
    if (!text)
        return alpacaBadRequest(QStringLiteral("Missing parameter %1").arg(key));
    const auto value = parse(*text);
    if (!value)
        return alpacaBadRequest(QStringLiteral("Invalid value for %1: %2").arg(key, text->left(40)));
    out = *value;
    return std::nullopt;
}

// "major.minor" of the program's version.
QString alpacaDriverVersion();
// DeviceState's TimeStamp: ISO 8601 UTC with seven decimals and a Z.
QString alpacaTimeStamp(const QDateTime &utc);
