// The station's diagnostic log: one line per upload period in log.txt, built
// from the record's Observation with its shown texts (a pure function), and the
// file that holds it (appended to, one CR LF line at a time, flushed at once).
#pragma once

#include "watch/observation.h"

#include <QDateTime>
#include <QFile>
#include <QString>
#include <functional>


// "MM/DD/YYYY hh:nn AM/PM" with "/" and ":" as separators.
QString logTimeStamp(const QDateTime &when);

// The 22 pieces of one log line, without the line end. A field that holds no
// number is written as it stands, right-aligned, rather than losing the line.
QString diagnosticLogLine(const Observation &o, const QDateTime &when);

class DiagnosticLog {
public:
    ~DiagnosticLog();

    // Opens <folder>/log.txt for appending; when that fails, the fallback folder
    // (created if needed), with a one-line notice. Returns false when neither opens.
    bool open(const QString &folder, const QString &fallbackFolder);
    // The chosen folder (--log-dir), or the default one when empty, with the
    // usual fallback.
    bool openChosen(const QString &chosenFolder);
    // Writes one line and its CR LF and flushes it to the disk. A failing write
    // takes back what part of the line landed, returns false and reports once,
    // with the OS reason; the next line opens the file again and starts on a
    // line of its own.
    bool writeLine(const QString &line);
    // One line of the readings as they are now. Never throws: the log must not
    // disturb the station cycle.
    void writeReadings(const Observation &o);
    void close();
    // Told once per run of failing writes, with the file and the reason.
    void setWriteFailed(std::function<void(const QString &)> sink) { m_writeFailed = std::move(sink); }

    // Open, or chosen and to be opened again with the next line.
    bool isOpen() const { return !m_path.isEmpty(); }
    QString filePath() const { return m_path.isEmpty() ? m_file.fileName() : m_path; }

    // The folder of the program's executable, and $XDG_DATA_HOME/tarnwick.
    static QString defaultFolder();
    static QString fallbackFolder();

private:
    bool openIn(const QString &folder);
    void reportFailure(const QString &reason);

    QFile m_file;
    QString m_path; // the log in use; empty when there is none
    bool m_failed = false; // the last write failed
    bool m_writeFailureReported = false;
    std::function<void(const QString &)> m_writeFailed;
};
