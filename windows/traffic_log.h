// The text of the traffic window without the window: the four append
// operations, the 2000-character bound, Clear and the Disable switch.
#pragma once

#include <QString>

class TrafficLog {
public:
    static constexpr int kMaxChars = 2000;

    void line(const QString &text);   // a complete line
    void start(const QString &text);  // opens a line that end() completes
    void end(const QString &text);    // completes the open line
    void item(const QString &text);   // a short item beside the others on the line
    void clear();

    const QString &text() const { return m_text; }
    bool atLineStart() const { return m_atLineStart; }
    bool disabled() const { return m_disabled; }
    void setDisabled(bool on) { m_disabled = on; }

private:
    void append(const QString &piece);

    QString m_text;
    bool m_atLineStart = true;
    bool m_disabled = false;
};
