#include "core/messages.h"

#include <QCoreApplication>
#include <QThread>
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

namespace {
void deliver(const Message &m)
{
    if (handler())
        handler()(m);
    else
        printNotice(m.title.isEmpty() ? m.text : m.title + QStringLiteral(": ") + m.text);
}

// Boxes belong to the window thread. Asked for from another thread (the
// watch's), the message is posted there and the caller goes on at once.
void deliverOnWindowThread(const Message &m)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        deliver(m);
        return;
    }
    QMetaObject::invokeMethod(app, [m] { deliver(m); }, Qt::QueuedConnection);
}
} // namespace

void showMessage(const QString &text, const QString &title, MsgIcon icon)
{
    deliverOnWindowThread(Message{text, title, icon});
}

void showTimedMessage(const QString &text, int autoCloseMs)
{
    deliverOnWindowThread(Message{text, QString(), MsgIcon::None, autoCloseMs});
}

MessageHandler setMessageHandler(MessageHandler h)
{
    MessageHandler old = std::move(handler());
    handler() = std::move(h);
    return old;
}
