// What the notifications say: the events worth a message to the person
// responsible, and their texts for a webhook (JSON), a push topic (plain text
// with Title, Priority and Tags) and e-mail. Pure.
#pragma once

#include "watch/board_state.h"
#include "watch/observation.h"

#include <QByteArray>
#include <QDateTime>
#include <QStringList>
#include <optional>

enum class NotifyKind {
    Unsafe,
    Safe,
    BoardLost,
    BoardSilent,
    BoardBack,
    UploadFailing,
    UploadWorking,
    ArchiveFailing,
    LogFailing,
    Started,
    Stopping
};

// Kinds that share one rate limit: a flapping verdict is one story.
enum class NotifyGroup { Safety, Board, Upload, Archive, Log, Program };
NotifyGroup groupOf(NotifyKind kind);

struct NotifyEvent {
    NotifyKind kind = NotifyKind::Started;
    QDateTime utc;
    QString summary;                   // one line: "Unsafe: rain", "Board lost on /dev/ttyUSB0"
    QStringList reasons;               // in words
    std::optional<Observation> latest; // the last live reading, when there is one
    BoardState board = BoardState::Searching;
    int heldBack = 0;   // events of this group since the last message that were not sent
    QDateTime heldSince; // UTC time of the first of them
};

// "unsafe", "safe", "board_lost", "board_silent", "board_back", "upload_failing",
// "upload_working", "archive_failing", "log_failing", "started", "stopping".
QString eventName(NotifyKind kind);
// "Tarnwick: Unsafe: rain" (the push title and the mail subject).
QString eventTitle(const NotifyEvent &e);
// The message for people: the summary, the reasons, what was held back, the latest values.
QString eventText(const NotifyEvent &e);
// {"event","time","summary","reasons":[],"held_back","held_since","board","latest":{...}}
QByteArray webhookBody(const NotifyEvent &e);
// The push service's Priority and Tags headers.
QByteArray pushPriority(NotifyKind kind);
QByteArray pushTags(NotifyKind kind);
// A complete mail (headers, empty line, body) with CR LF line ends.
QByteArray mailMessage(const NotifyEvent &e, const QString &from, const QStringList &to, const QDateTime &nowUtc);
