// Message boxes. The window layer installs a handler that shows a real box;
// headless, or before any handler exists, the text goes to standard error.
#pragma once

#include <QString>
#include <functional>

enum class MsgIcon { None, Information, Exclamation, Critical };

struct Message {
    QString text;
    QString title;
    MsgIcon icon = MsgIcon::None;
    int autoCloseMs = 0; // > 0: the box answers itself after that long
};

using MessageHandler = std::function<void(const Message &)>;

void showMessage(const QString &text, const QString &title = QString(), MsgIcon icon = MsgIcon::None);
// A notice that must not hold an unattended program: its box is shown without
// waiting for it and closes by itself after autoCloseMs when nobody answers it.
void showTimedMessage(const QString &text, int autoCloseMs);
// Installs a handler and returns the previous one (tests record messages this way).
MessageHandler setMessageHandler(MessageHandler handler);
// Prints one line on standard error: "tarnwick: <text>".
void printNotice(const QString &text);
