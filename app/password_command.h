// "tarnwick config set-password [--clear]": the web page's password, kept as
// an argon2id hash in the profile (Web/PasswordHash), never the password.
// Typed twice without echo at a terminal, else read as one line from
// standard input. The other config commands never show or take the hash.
#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <cstdio>

// Every "config ..." command; set-password here, the rest by runConfigAt.
int runConfigWithPassword(const QString &profilePath, const QStringList &args, QTextStream &out, QTextStream &err);
// set-password on a profile path; the password comes from in (a terminal or not).
int runSetPassword(const QString &profilePath, bool clear, FILE *in, QTextStream &out, QTextStream &err);
