#include "archive/text_chunks.h"

#include "archive/history_text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

// How a JSON document writes one value: the inside of "[value]".
QByteArray jsonValueText(const QJsonValue &value)
{
    const QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return text.mid(1, text.size() - 2);
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void civilFromDays(qint64 days, int &year, int &month, int &day)
{
    days += 719468;
    const qint64 era = (days >= 0 ? days : days - 146096) / 146097;
    const qint64 doe = days - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    day = int(doy - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = int(yoe + era * 400 + (month <= 2));
}

void digits(char *&at, int value, int width)
{
    for (int i = width - 1; i >= 0; --i, value /= 10)
        at[i] = char('0' + value % 10);
    at += width;
}

} // namespace

void TextChunks::flush()
{
    if (m_length)
        m_sink(m_text.data(), qsizetype(m_length));
    m_length = 0;
}

void TextChunks::whole(long long n)
{
    char *at = room(24);
    m_length += size_t(std::to_chars(at, at + 24, n).ptr - at);
}

void TextChunks::grow(size_t size)
{
    m_text.resize(2 * (m_length + size));
}

void TextChunks::decimalUnits(qint64 units, int decimals, bool trim)
{
    static constexpr char kPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                                     "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                                     "8081828384858687888990919293949596979899";
    const quint64 n = units < 0 ? 0 - quint64(units) : quint64(units);
    char *const start = room(32);
    char *at = start;
    if (units < 0)
        *at++ = '-';
    if (decimals == 0) {
        at = std::to_chars(at, start + 32, n).ptr;
    } else { // hundredths
        at = std::to_chars(at, start + 32, n / 100).ptr;
        const unsigned fraction = unsigned(n % 100);
        if (!trim || fraction) {
            *at++ = '.';
            std::memcpy(at, kPairs + 2 * fraction, 2);
            at += trim && fraction % 10 == 0 ? 1 : 2;
        }
    }
    m_length += size_t(at - start);
}

void TextChunks::fixedScaled(qint64 units, int scale, int decimals)
{
    // units / scale is the double nearest the decimal, so it rounds back to it.
    if ((scale == 100 && decimals == 2) || (scale == 1 && decimals == 0))
        decimalUnits(units, decimals, false);
    else
        fixed(double(units) / scale, decimals);
}

void TextChunks::jsonScaled(qint64 units, int scale)
{
    // Below 1e5 the shortest form of a decimal of hundredths is that decimal.
    if ((scale == 100 || scale == 1) && units > -100000LL * scale && units < 100000LL * scale)
        decimalUnits(units, scale == 100 ? 2 : 0, true);
    else
        jsonNumber(double(units) / scale);
}

void TextChunks::fixed(double v, int decimals)
{
    if (std::isnan(v))
        return;
    // Qt rounds an exact half away from zero and keeps its own sign rule for
    // what rounds to zero; those rare values (and huge ones) go through Qt.
    const double halves = v * (decimals == 0 ? 2 : 8);
    const bool tie = halves == std::trunc(halves) && std::fmod(halves, 2.0) != 0;
    const bool toZero = std::signbit(v) && v > (decimals == 0 ? -0.5 : -0.005);
    if (tie || toZero || !(std::fabs(v) < 1e15)) {
        *this << QByteArray::number(v, 'f', decimals);
        return;
    }
    // Below 1e6 the scaled value is off by far less than 1e-6: unless it lies
    // that close to a half, its rounding is the exact value's.
    const double scaled = decimals == 0 ? v : v * 100;
    const double fraction = std::fabs(scaled - std::trunc(scaled));
    if ((decimals == 0 || decimals == 2) && std::fabs(v) < 1e6 && std::fabs(fraction - 0.5) > 1e-6) {
        decimalUnits(std::llround(scaled), decimals, false);
        return;
    }
    char *at = room(40);
    m_length += size_t(std::to_chars(at, at + 40, v, std::chars_format::fixed, decimals).ptr - at);
}

void TextChunks::jsonNumber(double v)
{
    const double rounded = std::round(v * 100) / 100;
    if (std::isnan(rounded)) {
        *this << "null";
        return;
    }
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, rounded);
    const std::string_view text(buf, size_t(r.ptr - buf));
    // Plain decimals are written alike; exponents and huge values as Qt does.
    if (text.find('e') != std::string_view::npos || !(std::fabs(rounded) < 1e15) || (rounded == 0 && std::signbit(rounded))) {
        *this << jsonValueText(::jsonNumber(v));
        return;
    }
    put(text.data(), text.size());
}

void TextChunks::jsonString(const QByteArray &utf8)
{
    for (const char c : utf8)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f) {
            *this << jsonValueText(QString::fromUtf8(utf8));
            return;
        }
    *this << '"';
    for (const char c : utf8) {
        if (c == '"' || c == '\\')
            *this << '\\';
        *this << c;
    }
    *this << '"';
}

void TextChunks::isoUtc(qint64 msecs)
{
    const qint64 days = (msecs >= 0 ? msecs : msecs - 86399999) / 86400000;
    if (days != m_day) {
        int year = 0, month = 0, day = 0;
        civilFromDays(days, year, month, day);
        if (year < 1000 || year > 9999) {
            *this << ::isoUtc(QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC)).toLatin1();
            return;
        }
        char *at = m_date;
        digits(at, year, 4);
        *at++ = '-';
        digits(at, month, 2);
        *at++ = '-';
        digits(at, day, 2);
        *at++ = 'T';
        m_day = days;
    }
    const qint64 ms = msecs - days * 86400000;
    const int second = int(ms / 1000);
    char *const start = room(32);
    std::memcpy(start, m_date, sizeof m_date);
    char *at = start + sizeof m_date;
    digits(at, second / 3600, 2);
    *at++ = ':';
    digits(at, second / 60 % 60, 2);
    *at++ = ':';
    digits(at, second % 60, 2);
    if (ms % 1000) {
        *at++ = '.';
        digits(at, int(ms % 1000), 3);
    }
    *at++ = 'Z';
    m_length += size_t(at - start);
}
