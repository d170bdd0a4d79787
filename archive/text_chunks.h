// Text built as bytes and handed on in chunks, for answers too long to hold
// whole: numbers, times and JSON strings written straight into the buffer,
// each the same bytes Qt's own formatting gives.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>
#include <string>

using ByteSink = std::function<void(const char *data, qsizetype size)>;

class TextChunks {
public:
    explicit TextChunks(ByteSink sink) : m_sink(std::move(sink)) { m_text.reserve(kChunk + 4096); }
    ~TextChunks() { flush(); }
    TextChunks(const TextChunks &) = delete;
    TextChunks &operator=(const TextChunks &) = delete;

    TextChunks &operator<<(char c) { m_text.push_back(c); return *this; }
    TextChunks &operator<<(const char *text) { m_text.append(text); return *this; }
    TextChunks &operator<<(const QByteArray &text) { m_text.append(text.constData(), size_t(text.size())); return *this; }
    void whole(long long n);
    // `decimals` places, as QString::number(v, 'f', decimals); nothing for NaN.
    void fixed(double v, int decimals);
    // As a JSON document writes the number; null for NaN.
    void jsonNumber(double v);
    // A JSON string, quoted and escaped.
    void jsonString(const QByteArray &utf8);
    // "2026-12-07T20:00:00Z", with milliseconds only when they are not zero.
    void isoUtc(qint64 msecs);

    // Hands the text so far on once it has grown to a chunk; call between rows.
    void rowDone() { if (m_text.size() >= kChunk) flush(); }
    void flush();

private:
    static constexpr size_t kChunk = 1 << 16;
    ByteSink m_sink;
    std::string m_text;
};
