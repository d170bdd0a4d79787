// Keeps the one-line weather data file current: rewritten after every change
// of the watch and at least once a second whatever the board does, atomically,
// so a reader sees the old line or the new one, never a part. When the file
// is let go (a clean stop, another path chosen) its last line says nothing is
// known: both flags 1 and age 99999, for no one keeps it current any more.
#pragma once

#include "watch/watch_status.h"
#include "datafile/weather_data_line.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

struct Settings;

class WeatherDataFile : public QObject {
public:
    using Report = std::function<void(const QString &)>;
    using Clock = std::function<QDateTime()>; // UTC

    // The settings are read at every write; report takes the one line about a
    // write that failed and the one about writing again.
    WeatherDataFile(QString path, const Settings &settings, Report report, Clock clock = {});
    ~WeatherDataFile() override;

    // The watch feed's listener.
    void onWatch(const WatchStatus &status, WatchFeed::Change change);
    // Writes the line for status now; false when the file could not be written
    // (the next call tries again).
    bool write(const WatchStatus &status);
    QString path() const { return m_path; }

private:
    QString m_path;
    QTimer m_rewrite{this}; // the line's time moves on while the watch is quiet
    std::optional<WatchStatus> m_last;
    const Settings &m_settings;
    Report m_report;
    Clock m_clock;
    QDateTime m_lastRainUtc;
    bool m_failing = false;
};
