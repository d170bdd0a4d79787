// Text built as bytes and handed on in chunks, for answers too long to hold
// whole: numbers, times and JSON strings written straight into the buffer,
// each the same bytes Qt's own formatting gives.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstring>
#include <functional>
#include <string>

using ByteSink = std::function<void(const char *data, qsizetype size)>;

class TextChunks {
public:
    explicit TextChunks(ByteSink sink) : m_sink(std::move(sink)) { m_text.resize(2 * kChunk); }
    ~TextChunks() { flush(); }
    TextChunks(const TextChunks &) = delete;
    TextChunks &operator=(const TextChunks &) = delete;

    TextChunks &operator<<(char c) { *room(1) = c; ++m_length; return *this; }
    TextChunks &operator<<(const char *text) { put(text, std::strlen(text)); return *this; }
    TextChunks &operator<<(const QByteArray &text) { put(text.constData(), size_t(text.size())); return *this; }
    void put(const char *text, size_t size) { std::memcpy(room(size), text, size); m_length += size; }
    void whole(long long n);
    // A value stored as a whole number of 1/scale units, as fixed() and
    // jsonNumber() write it divided out.
    void fixedScaled(qint64 units, int scale, int decimals);
    void jsonScaled(qint64 units, int scale);
    // `decimals` places, as QString::number(v, 'f', decimals); nothing for NaN.
    void fixed(double v, int decimals);
    // As a JSON document writes the number; null for NaN.
    void jsonNumber(double v);
    // A JSON string, quoted and escaped.
    void jsonString(const QByteArray &utf8);
    // "2026-12-07T20:00:00Z", with milliseconds only when they are not zero.
    void isoUtc(qint64 msecs);

    // Hands the text so far on once it has grown to a chunk; call between rows.
    void rowDone() { if (m_length >= kChunk) flush(); }
    void flush();

private:
    static constexpr size_t kChunk = 1 << 16;
    char *room(size_t size)
    {
        if (m_length + size > m_text.size())
            grow(size);
        return m_text.data() + m_length;
    }
    void grow(size_t size);
    // units with the last `decimals` (0 or 2) digits after a point, `trim`med of trailing zeros.
    void decimalUnits(qint64 units, int decimals, bool trim);
    ByteSink m_sink;
    qint64 m_day = -1;     // the day of m_date, "2026-12-07T"
    char m_date[11] = {};
    std::string m_text; // the first m_length bytes are the text
    size_t m_length = 0;
};
