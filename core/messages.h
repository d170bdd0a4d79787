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
};

using MessageHandler = std::function<void(const Message &)>;

void showMessage(const QString &text, const QString &title = QString(), MsgIcon icon = MsgIcon::None);
// Installs a handler and returns the previous one (tests record messages this way).
MessageHandler setMessageHandler(MessageHandler handler);
// Prints one line on standard error: "tarnwick: <text>".
void printNotice(const QString &text);
