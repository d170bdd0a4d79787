// Figures of a running process from /proc, for the benchmarks.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// The number after `key` (say "VmRSS:") in a /proc status file, or -1.
inline long long procStatusValue(const QString &path, const QByteArray &key)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').first().toLongLong();
    return -1;
}

// Resident memory in kB of a process (this one without a pid), or -1.
inline long residentKb(qint64 pid = 0)
{
    const QString path = pid ? QStringLiteral("/proc/%1/status").arg(pid) : QStringLiteral("/proc/self/status");
    return long(procStatusValue(path, "VmRSS:"));
}
