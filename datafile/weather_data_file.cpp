#include "datafile/weather_data_file.h"

#include "core/settings.h"

#include <QSaveFile>

WeatherDataFile::WeatherDataFile(QString path, const Settings &settings, Report report, Clock clock)
    : m_path(std::move(path)), m_settings(settings), m_report(std::move(report)), m_clock(std::move(clock))
{
    if (!m_clock)
        m_clock = [] { return QDateTime::currentDateTimeUtc(); };
    m_rewrite.setInterval(1000);
    QObject::connect(&m_rewrite, &QTimer::timeout, this, [this] {
        if (m_last)
            write(*m_last);
    });
    m_rewrite.start();
}

WeatherDataFile::~WeatherDataFile()
{
    m_rewrite.stop();
    write(WatchStatus{}); // no board, no verdict: flags 1, age 99999
}

void WeatherDataFile::onWatch(const WatchStatus &status, WatchFeed::Change)
{
    m_last = status;
    write(status);
}

bool WeatherDataFile::write(const WatchStatus &status)
{
    const QDateTime now = m_clock();
    // The rain flag remembers the last live reading of rain for a minute.
    if (status.lastLive && status.lastLive->raining)
        m_lastRainUtc = status.lastLive->utc;

    DataLineSettings s;
    s.staleLimitSeconds = staleLimitSeconds(m_settings);
    s.veryWindyLimit = m_settings.WindSpeedCloseD;
    const QByteArray line = weatherDataLine(status, now, m_lastRainUtc, s).toUtf8() + '\n';

    // A temporary file in the same folder, renamed over the old one on commit.
    QSaveFile file(m_path);
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(line) == line.size() && file.commit();
    if (!ok && !m_failing && m_report)
        m_report(QStringLiteral("The weather data file %1 cannot be written (%2); trying again with every cycle.")
                     .arg(m_path, file.errorString()));
    if (ok && m_failing && m_report)
        m_report(QStringLiteral("The weather data file %1 is written again.").arg(m_path));
    m_failing = !ok;
    return ok;
}
