// One blocking transfer with libcurl: an HTTP(S) POST or a mail over SMTP.
// Runs on the notification thread, never on the watch's.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>

struct CurlLimits {
    int timeoutMs = 30000;
    const std::atomic<bool> *abort = nullptr; // set: the transfer ends at once
    QString caFile; // set: this authority is trusted too (the system's directory stays)
};

// Empty on success (a 2xx answer), else why it failed in words.
QString curlPost(const QString &url, const QByteArray &body, const QList<QByteArray> &headers, const CurlLimits &limits);

struct SmtpAccount {
    QString url; // smtp://host:587 or smtps://host:465
    QString user;
    QString password;
    bool startTls = true; // on smtp://, STARTTLS is required before the login
};
// Empty on success, else why it failed.
QString curlMail(const SmtpAccount &account, const QString &from, const QStringList &to, const QByteArray &message,
                 const CurlLimits &limits);

// "Name <a@b>" or "a@b" as the envelope's "<a@b>".
QByteArray envelopeAddress(const QString &address);
// A header value on one line; non-ASCII text as a UTF-8 encoded word.
QByteArray headerValue(const QString &text);
