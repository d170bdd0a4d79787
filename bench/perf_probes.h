// Pieces of perf_bench: a program under test with its own folder and port,
// a keep-alive HTTP client, and the processor time a process spends.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <functional>
#include <memory>

// `tarnwick --headless --simulate` with the archive at `archive` (none when
// empty), a site told (so the live answer has its night), more settings
// and arguments as given.
struct Program {
    Program(const QString &binary, const QString &archive, const QList<QStringList> &settings = {},
            const QStringList &more = {});
    ~Program();
    qint64 pid() const { return process->processId(); }
    // Seconds from the start until a fresh live value is served (-1: none within 20 s).
    double waitUntilLive();

    QString binary;
    QTemporaryDir dir;
    quint16 port = 0;
    std::unique_ptr<QProcess> process;
};

// One connection kept open; requests one at a time.
class KeepAliveClient {
public:
    explicit KeepAliveClient(quint16 port) : m_port(port) {}
    // The body of the answer (empty when none came within 10 s); status in *status.
    QByteArray get(const QByteArray &target, int *status = nullptr);

private:
    bool connectNow();
    quint16 m_port;
    QTcpSocket m_socket;
};

// Nanoseconds on a processor of all threads of pid.
long long processNs(qint64 pid);
// Processor milliseconds of pid per call of `request`, its idle rate (taken
// over two seconds before) subtracted; -1 when a request failed.
double cpuMsPerCall(qint64 pid, int calls, const std::function<bool()> &request);
quint16 freeTcpPort();

class PerfTable;
// A fresh copy of a generated archive of that many days (an empty one for 0).
using ArchiveSource = std::function<QString(int days)>;
// A page, our INDI driver, MQTT and a SafetyMonitor client on one program,
// beside the idle program and a bare Qt server with an SQLite row a second.
void realisticNight(PerfTable &table, const QStringList &programs, int seconds, const ArchiveSource &archives);
// Archives of 1 and 10 years: size, history answers, start-up, the history command.
void archiveAtScale(PerfTable &table, const QStringList &programs, const ArchiveSource &archives);
