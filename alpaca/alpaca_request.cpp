// Alpaca request syntax.
#include "alpaca/alpaca_request.h"

#include <QRegularExpression>
#include <QStringList>
#include <cmath>
#include <limits>

namespace {
QString decodeComponent(QByteArray part)
{
    part.replace('+', ' ');
    return QString::fromUtf8(QByteArray::fromPercentEncoding(part));
}

bool allDigits(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

bool isLowerName(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        const bool ok = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            || c == QLatin1Char('_');
        if (!ok)
            return false;
    }
    return true;
}
} // namespace

FormFields parseFormFields(const QByteArray &encoded)
{
    FormFields fields;
    for (const QByteArray &pair : encoded.split('&')) {
        if (pair.isEmpty())
            continue;
        const int eq = pair.indexOf('=');
        const QByteArray key = eq < 0 ? pair : pair.left(eq);
        const QByteArray value = eq < 0 ? QByteArray() : pair.mid(eq + 1);
        fields.append({decodeComponent(key), decodeComponent(value)});
    }
    return fields;
}

std::optional<QString> fieldValue(const FormFields &fields, const QString &key, bool caseSensitive)
{
    const Qt::CaseSensitivity cs = caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (const auto &field : fields) {
        if (field.first.compare(key, cs) == 0)
            return field.second;
    }
    return std::nullopt;
}

std::optional<bool> parseAlpacaBool(const QString &text)
{
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

std::optional<int32_t> parseAlpacaInt32(const QString &text)
{
    QString digits = text;
    bool negative = false;
    if (digits.startsWith(QLatin1Char('-')) || digits.startsWith(QLatin1Char('+'))) {
        negative = digits.startsWith(QLatin1Char('-'));
        digits = digits.mid(1);
    }
    if (!allDigits(digits) || digits.size() > 12)
        return std::nullopt;
    const qint64 magnitude = digits.toLongLong();
    const qint64 value = negative ? -magnitude : magnitude;
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return int32_t(value);
}

std::optional<uint32_t> parseTransactionId(const QString &text)
{
    if (!allDigits(text) || text.size() > 12)
        return std::nullopt;
    const qint64 value = text.toLongLong();
    if (value > qint64(std::numeric_limits<uint32_t>::max()))
        return std::nullopt;
    return uint32_t(value);
}

std::optional<double> parseAlpacaDouble(const QString &text)
{
    static const QRegularExpression shape(QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
    if (text.size() > 64 || !shape.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

DevicePath parseDevicePath(const QString &path)
{
    const QStringList parts = path.split(QLatin1Char('/'));
    DevicePath refused;
    // "", "api", "v1", type, number, member
    if (parts.size() != 6 || !parts[0].isEmpty() || parts[1] != QLatin1String("api")) {
        refused.error = QStringLiteral("Not an Alpaca device path: %1").arg(path.left(100));
        return refused;
    }
    if (parts[2] != QLatin1String("v1")) {
        refused.error = QStringLiteral("Unsupported API version: %1").arg(parts[2].left(100));
        return refused;
    }
    if (!isLowerName(parts[3])) {
        refused.error = QStringLiteral("Unknown device type: %1").arg(parts[3].left(100));
        return refused;
    }
    if (!allDigits(parts[4]) || parts[4].size() > 10 || parts[4].toULongLong() > std::numeric_limits<uint32_t>::max()) {
        refused.error = QStringLiteral("Device number not configured: %1").arg(parts[4].left(100));
        return refused;
    }
    if (!isLowerName(parts[5])) {
        refused.error = QStringLiteral("Unknown member: %1").arg(parts[5].left(100));
        return refused;
    }
    return {parts[3], uint32_t(parts[4].toULongLong()), parts[5], QString()};
}
