// Number formats and conversions shared by the whole program: display formats
// round halves away from zero, conversions to integers round halves to even.
#pragma once

#include <QString>
#include <cstdint>
#include <stdexcept>

class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Format pattern "0", "0.0", ... "0.000000000000": the value rounded to that many
// decimals (halves away from zero, on its 15-significant-digit decimal form),
// leading "-" for negatives, no thousands separator.
QString formatNumber(double value, const char *pattern);
QString formatDecimals(double value, int decimals);

// Right-aligns text in a field of n characters; longer text is never cut.
QString rightAlign(const QString &text, int width);

// Nearest 32-bit integer, halves to even; throws ConversionError on overflow or NaN.
int32_t toInt32(double value);
// Nearest 16-bit integer, halves to even; throws ConversionError on overflow.
int16_t toInt16(double value);

// "real": a decimal number with optional surrounding spaces, sign, fraction and
// exponent ("+00146" is 146). Throws ConversionError for anything else.
double realFromText(const QString &text);
// "whole": realFromText rounded to a 32-bit integer, halves to even.
int32_t wholeFromText(const QString &text);
// Text to Boolean: "True"/"False" in any case, or a number (non-zero is true).
bool boolFromText(const QString &text);
QString boolText(bool value);

// General text of a double: shortest form with at most 15 significant digits
// (1.46, 44.32, 1E+20, 1E-05).
QString generalText(double value);
// The same 15 significant digits as plain decimal text, never an exponent
// (-0.000000713329, 100000000000000000000): how the profile stores numbers.
QString plainDecimalText(double value);
