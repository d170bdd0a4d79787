// What a running process costs, read from /proc: processor time (all
// threads, from schedstat: finer than clock ticks), wake-ups (voluntary
// context switches), preemptions and resident memory; and what it has mapped.
#pragma once

#include "proc_status.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <algorithm>

struct ProcessSample {
    long long ns = -1;
    long long voluntary = 0;
    long long involuntary = 0;
    long rssKb = 0;
};

inline long long schedRunNs(const QString &schedstat)
{
    QFile f(schedstat);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    return f.readAll().split(' ').first().toLongLong();
}

// All threads, or only those named `onlyThread`.
inline ProcessSample sampleProcess(qint64 pid, const QByteArray &onlyThread = {})
{
    ProcessSample c;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    if (pid <= 0 || !tasks.exists())
        return c;
    c.ns = 0;
    for (const QString &t : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!onlyThread.isEmpty()) {
            QFile comm(tasks.filePath(t) + QStringLiteral("/comm"));
            if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != onlyThread)
                continue;
        }
        c.ns += std::max(0LL, schedRunNs(tasks.filePath(t) + QStringLiteral("/schedstat")));
        const QString status = tasks.filePath(t) + QStringLiteral("/status");
        c.voluntary += std::max(0LL, procStatusValue(status, "voluntary_ctxt_switches:"));
        c.involuntary += std::max(0LL, procStatusValue(status, "nonvoluntary_ctxt_switches:"));
    }
    c.rssKb = residentKb(pid);
    return c;
}

// Per second between two samples of one process (or a sum of processes).
struct ProcessRates {
    bool valid = false;
    double cpuPercent = 0; // of one core
    double wakeups = 0;
    double preempted = 0;
    double rssMb = 0;

    ProcessRates &operator+=(const ProcessRates &o)
    {
        valid = valid && o.valid;
        cpuPercent += o.cpuPercent;
        wakeups += o.wakeups;
        preempted += o.preempted;
        rssMb += o.rssMb;
        return *this;
    }
};

inline ProcessRates ratesBetween(const ProcessSample &a, const ProcessSample &b, double seconds)
{
    ProcessRates r;
    r.valid = a.ns >= 0 && b.ns >= 0;
    r.cpuPercent = double(b.ns - a.ns) / 1e9 / seconds * 100;
    r.wakeups = double(b.voluntary - a.voluntary) / seconds;
    r.preempted = double(b.involuntary - a.involuntary) / seconds;
    r.rssMb = b.rssKb / 1024.0;
    return r;
}

// The names among `libraries` that the process has mapped.
inline QStringList mappedOf(qint64 pid, const QStringList &libraries)
{
    QFile f(QStringLiteral("/proc/%1/maps").arg(pid));
    QStringList found;
    if (!f.open(QIODevice::ReadOnly))
        return found;
    const QString maps = QString::fromLocal8Bit(f.readAll());
    for (const QString &l : libraries)
        if (maps.contains(l))
            found << l;
    return found;
}

// A child of `parent` whose command name starts with `prefix`, or 0.
inline qint64 childNamed(qint64 parent, const QByteArray &prefix)
{
    for (const QString &d : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const qint64 pid = d.toLongLong(&ok);
        if (!ok)
            continue;
        QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray s = f.readAll();
        const QByteArray name = s.mid(s.indexOf('(') + 1, s.lastIndexOf(')') - s.indexOf('(') - 1);
        const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1].toLongLong() == parent && name.startsWith(prefix))
            return pid;
    }
    return 0;
}
