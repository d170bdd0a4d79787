#include "core/messages.h"

#include <cstdio>

namespace {
MessageHandler &handler()
{
    static MessageHandler h;
    return h;
}
} // namespace

void printNotice(const QString &text)
{
    QString oneLine = text;
    oneLine.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(stderr, "tarnwick: %s\n", oneLine.toLocal8Bit().constData());
    std::fflush(stderr);
}

void showMessage(const QString &text, const QString &title, MsgIcon icon)
{
    const Message m{text, title, icon};
    if (handler())
        handler()(m);
    else
        printNotice(title.isEmpty() ? text : title + QStringLiteral(": ") + text);
}

void showTimedMessage(const QString &text, int autoCloseMs)
{
    const Message m{text, QString(), MsgIcon::None, autoCloseMs};
    if (handler())
        handler()(m);
    else
        printNotice(text);
}

MessageHandler setMessageHandler(MessageHandler h)
{
    MessageHandler old = std::move(handler());
    handler() = std::move(h);
    return old;
}
