// What the browser tests share: a free loopback port for the program and a
// setting written with "tarnwick config set" before it starts.
#pragma once

#include "free_port.h"

#include <QProcess>
#include <QTcpServer>

inline bool configure(const QString &profile, const QString &key, const QString &value)
{
    QProcess p;
    p.start(QStringLiteral(TARNWICK_BINARY), {"--profile", profile, "config", "set", key, value});
    return p.waitForFinished(10000) && p.exitCode() == 0;
}
