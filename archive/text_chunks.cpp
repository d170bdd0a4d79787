#include "archive/text_chunks.h"

#include "archive/history_text.h"

#include <QJsonArray>
#include <QJsonDocument>
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

void digits(std::string &out, int value, int width)
{
    char buf[8];
    for (int i = width - 1; i >= 0; --i, value /= 10)
        buf[i] = char('0' + value % 10);
    out.append(buf, size_t(width));
}

} // namespace

void TextChunks::flush()
{
    if (!m_text.empty())
        m_sink(m_text.data(), qsizetype(m_text.size()));
    m_text.clear();
}

void TextChunks::whole(long long n)
{
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, n);
    m_text.append(buf, r.ptr);
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
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    m_text.append(buf, r.ptr);
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
    m_text.append(text);
}

void TextChunks::jsonString(const QByteArray &utf8)
{
    for (const char c : utf8)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f) {
            *this << jsonValueText(QString::fromUtf8(utf8));
            return;
        }
    m_text.push_back('"');
    for (const char c : utf8) {
        if (c == '"' || c == '\\')
            m_text.push_back('\\');
        m_text.push_back(c);
    }
    m_text.push_back('"');
}

void TextChunks::isoUtc(qint64 msecs)
{
    const qint64 days = (msecs >= 0 ? msecs : msecs - 86399999) / 86400000;
    int year = 0, month = 0, day = 0;
    civilFromDays(days, year, month, day);
    if (year < 1000 || year > 9999) {
        *this << ::isoUtc(QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC)).toLatin1();
        return;
    }
    const qint64 ms = msecs - days * 86400000;
    const int second = int(ms / 1000);
    digits(m_text, year, 4);
    m_text.push_back('-');
    digits(m_text, month, 2);
    m_text.push_back('-');
    digits(m_text, day, 2);
    m_text.push_back('T');
    digits(m_text, second / 3600, 2);
    m_text.push_back(':');
    digits(m_text, second / 60 % 60, 2);
    m_text.push_back(':');
    digits(m_text, second % 60, 2);
    if (ms % 1000) {
        m_text.push_back('.');
        digits(m_text, int(ms % 1000), 3);
    }
    m_text.push_back('Z');
}
