// Records message boxes instead of showing them, for the life of the object.
#pragma once

#include "core/messages.h"

#include <QStringList>

struct MessageRecorder {
    QStringList texts;
    QStringList titles;
    MessageHandler previous;

    MessageRecorder()
    {
        previous = setMessageHandler([this](const Message &m) {
            texts << m.text;
            titles << m.title;
        });
    }
    ~MessageRecorder() { setMessageHandler(previous); }
};
