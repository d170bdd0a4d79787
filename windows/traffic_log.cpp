// Append rules of the traffic log; lines end in CRLF as the window shows them.
#include "windows/traffic_log.h"

namespace {
const QString kCrLf = QStringLiteral("\r\n");
}

void TrafficLog::line(const QString &text)
{
    if (m_disabled)
        return;
    append(m_atLineStart ? text + kCrLf : kCrLf + text + kCrLf);
    m_atLineStart = true;
}

void TrafficLog::start(const QString &text)
{
    if (m_disabled)
        return;
    append(m_atLineStart ? text : kCrLf + text);
    m_atLineStart = false;
}

void TrafficLog::end(const QString &text)
{
    if (m_disabled)
        return;
    append(text + kCrLf);
    m_atLineStart = true;
}

void TrafficLog::item(const QString &text)
{
    if (m_disabled)
        return;
    if (m_atLineStart) {
        append(text);
        m_atLineStart = false;
    } else {
        append(QLatin1Char(' ') + text);
    }
}

void TrafficLog::clear()
{
    m_atLineStart = true;
    m_text.clear();
}

void TrafficLog::append(const QString &piece)
{
    m_text += piece;
    // Only the newest text is kept, even if that cuts a line in two.
    if (m_text.size() > kMaxChars)
        m_text = m_text.right(kMaxChars);
}
