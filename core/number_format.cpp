#include "core/number_format.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

namespace {

// Decimal digits and exponent of |value| rounded to 15 significant digits:
// value = 0.d1d2...d15 * 10^exp10.
struct Decimal {
    char digits[15];
    int exp10 = 0;
};

Decimal decompose(double value)
{
    Decimal d;
    if (value == 0) {
        std::memset(d.digits, '0', sizeof d.digits);
        return d;
    }
    // d.dddddddddddddde+XX, correctly rounded like printf's %.14e but without
    // its cost (this runs a score of times a cycle).
    char buf[32];
    const auto end = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 14).ptr;
    d.digits[0] = buf[0];
    std::memcpy(d.digits + 1, buf + 2, 14);
    const char *p = buf + 17; // the exponent's sign
    const bool negative = *p == '-';
    int exp10 = 0;
    for (++p; p < end; ++p)
        exp10 = exp10 * 10 + (*p - '0');
    d.exp10 = (negative ? -exp10 : exp10) + 1;
    return d;
}

int decimalsOf(const char *pattern)
{
    const char *dot = std::strchr(pattern, '.');
    return dot ? int(std::strlen(dot + 1)) : 0;
}

} // namespace

QString formatDecimals(double value, int decimals)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-Inf") : QStringLiteral("Inf");

    const Decimal d = decompose(value);
    // Integer digits of the scaled number value * 10^decimals, as a digit string.
    const int keep = d.exp10 + decimals; // digits kept before the rounding position
    const int kDigits = int(sizeof d.digits);
    std::string kept;
    bool roundUp = false;
    if (keep >= kDigits) {
        kept.assign(d.digits, size_t(kDigits));
        kept.append(size_t(keep - kDigits), '0');
    } else if (keep >= 0) {
        kept.assign(d.digits, size_t(keep));
        roundUp = d.digits[keep] >= '5';
    } // else it rounds to zero
    if (roundUp) {
        int i = int(kept.size()) - 1;
        while (i >= 0 && kept[size_t(i)] == '9') {
            kept[size_t(i)] = '0';
            --i;
        }
        if (i >= 0)
            ++kept[size_t(i)];
        else
            kept.insert(kept.begin(), '1');
    }
    // Pad so there is at least one integer digit.
    if (int(kept.size()) < decimals + 1)
        kept.insert(0, size_t(decimals + 1 - int(kept.size())), '0');
    const size_t intEnd = kept.size() - size_t(decimals);
    size_t intStart = 0;
    while (intStart + 1 < intEnd && kept[intStart] == '0')
        ++intStart;

    const bool isZero = kept.find_first_not_of('0') == std::string::npos;
    std::string out;
    out.reserve(kept.size() + 2);
    if (value < 0 && !isZero)
        out += '-';
    out.append(kept, intStart, intEnd - intStart);
    if (decimals > 0) {
        out += '.';
        out.append(kept, intEnd, std::string::npos);
    }
    return QString::fromLatin1(out.data(), qsizetype(out.size()));
}

QString formatNumber(double value, const char *pattern)
{
    return formatDecimals(value, decimalsOf(pattern));
}

QString rightAlign(const QString &text, int width)
{
    return text.size() >= width ? text : QString(width - text.size(), QLatin1Char(' ')) + text;
}

int32_t toInt32(double value)
{
    if (std::isnan(value))
        throw ConversionError("Overflow");
    const double r = std::nearbyint(value); // default rounding mode: halves to even
    if (r < double(std::numeric_limits<int32_t>::min()) || r > double(std::numeric_limits<int32_t>::max()))
        throw ConversionError("Overflow");
    return int32_t(r);
}

int16_t toInt16(double value)
{
    const int32_t v = toInt32(value);
    if (v < std::numeric_limits<int16_t>::min() || v > std::numeric_limits<int16_t>::max())
        throw ConversionError("Overflow");
    return int16_t(v);
}

double realFromText(const QString &text)
{
    // A Latin-1 copy of the trimmed text, on the stack when short: the cycle
    // reads a dozen values back every second.
    const QStringView t = QStringView(text).trimmed();
    char small[64];
    QByteArray large;
    char *s = small;
    if (t.size() >= qsizetype(sizeof small)) {
        large.resize(t.size() + 1);
        s = large.data();
    }
    for (qsizetype k = 0; k < t.size(); ++k) {
        const char16_t c = t[k].unicode();
        s[k] = c < 0x100 ? char(c) : '?';
    }
    s[t.size()] = '\0';
    // Accept [sign] digits [. digits] [e [sign] digits] with at least one digit.
    qsizetype i = 0;
    const qsizetype n = t.size();
    if (i < n && (s[i] == '+' || s[i] == '-'))
        ++i;
    int digits = 0;
    while (i < n && std::isdigit(uchar(s[i]))) {
        ++i;
        ++digits;
    }
    if (i < n && s[i] == '.') {
        ++i;
        while (i < n && std::isdigit(uchar(s[i]))) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        throw ConversionError("Type mismatch");
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < n && (s[i] == '+' || s[i] == '-'))
            ++i;
        int expDigits = 0;
        while (i < n && std::isdigit(uchar(s[i]))) {
            ++i;
            ++expDigits;
        }
        if (expDigits == 0)
            throw ConversionError("Type mismatch");
    }
    if (i != n)
        throw ConversionError("Type mismatch");
    const double v = std::strtod(s, nullptr);
    if (std::isinf(v))
        throw ConversionError("Overflow");
    return v;
}

int32_t wholeFromText(const QString &text)
{
    return toInt32(realFromText(text));
}

bool boolFromText(const QString &text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    return realFromText(t) != 0;
}

QString boolText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QString generalText(double value)
{
    if (value == 0)
        return QStringLiteral("0");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    std::string s(buf);
    const auto e = s.find('e');
    if (e == std::string::npos)
        return QString::fromStdString(s);
    // 1e+20 -> 1E+20, 1.5e-05 -> 1.5E-05
    std::string mant = s.substr(0, e);
    std::string exp = s.substr(e + 1);
    const char sign = exp[0];
    std::string mag = exp.substr(1);
    while (mag.size() < 2)
        mag.insert(0, "0");
    return QString::fromStdString(mant + "E" + sign + mag);
}

QString plainDecimalText(double value)
{
    if (value == 0 || !std::isfinite(value))
        return generalText(value);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value)); // d.dddddddddddddde+XX
    const std::string s(buf);
    const auto e = s.find('e');
    std::string digits = s.substr(0, 1) + s.substr(2, e - 2);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    const long point = std::stol(s.substr(e + 1)) + 1; // digits before the decimal point
    const long count = long(digits.size());
    std::string out;
    if (point <= 0)
        out = "0." + std::string(size_t(-point), '0') + digits;
    else if (point >= count)
        out = digits + std::string(size_t(point - count), '0');
    else
        out = digits.substr(0, size_t(point)) + "." + digits.substr(size_t(point));
    return QString::fromStdString((value < 0 ? "-" : "") + out);
}
