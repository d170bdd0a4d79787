// Errors that the Focuser object raises to its clients: a number, the source
// "ASCOM Pellon focuser" and a description.
#pragma once

#include <QString>
#include <cstdint>
#include <stdexcept>

inline constexpr int32_t kObjectErrorBase = int32_t(0x80040000u);
inline constexpr int32_t ErrNotImplemented = int32_t(0x80040400u); // -2147220480
inline constexpr int32_t ErrNotConnected = int32_t(0x80040402u);   // -2147220478
// A valid call that cannot be answered now (no fresh reading).
inline constexpr int32_t ErrInvalidOperation = int32_t(0x8004040Bu);
// Run-time errors of the arithmetic, numbered as the original runtime numbered them.
inline constexpr int32_t ErrOverflow = 6;
inline constexpr int32_t ErrDivisionByZero = 11;

inline const QString kFocuserErrorSource = QStringLiteral("ASCOM Pellon focuser");

class FocuserError : public std::runtime_error {
public:
    FocuserError(int32_t number, const QString &description)
        : std::runtime_error(description.toStdString()), m_number(number), m_description(description)
    {
    }
    int32_t number() const { return m_number; }
    QString source() const { return kFocuserErrorSource; }
    QString description() const { return m_description; }

private:
    int32_t m_number;
    QString m_description;
};
