// Parsing of Alpaca requests without the network: form and query decoding,
// parameter lookup with the protocol's key-case rules, value syntax and the
// device path. Anything malformed comes back empty, never half-parsed.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <cstdint>
#include <optional>

using FormFields = QList<QPair<QString, QString>>;

// application/x-www-form-urlencoded (also a query string): '+' is a blank,
// %XX escapes are decoded fully, the text is UTF-8.
FormFields parseFormFields(const QByteArray &encoded);

// GET keys match in any case, PUT keys only as spelled. First occurrence wins.
std::optional<QString> fieldValue(const FormFields &fields, const QString &key, bool caseSensitive);

// "true"/"false" in any case, nothing else.
std::optional<bool> parseAlpacaBool(const QString &text);
// An optional sign and decimal digits within the 32-bit range; no blanks, no fraction.
std::optional<int32_t> parseAlpacaInt32(const QString &text);
// Decimal digits only, within 0..4294967295.
std::optional<uint32_t> parseTransactionId(const QString &text);
// A finite decimal number: optional sign, digits with an optional '.' part,
// an optional exponent; no blanks, no "inf" or "nan".
std::optional<double> parseAlpacaDouble(const QString &text);

struct DevicePath {
    QString type;        // lower case, e.g. "focuser"
    uint32_t number = 0;
    QString member;      // empty when the path was refused
    QString error;       // why, for the 400 answer
};
// "/api/v1/<type>/<number>/<member>": every segment lower case, the number
// a decimal uint32. Whether such a device exists is the caller's question.
DevicePath parseDevicePath(const QString &path);
