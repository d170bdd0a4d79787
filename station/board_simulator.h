// The built-in sensor board: a pseudo-terminal whose far end the station link
// opens like any serial device. It answers the probe and the poll, follows the
// switch commands in the flags it reports, keeps the setting commands, and
// reports slowly changing simulated weather.
#pragma once

#include "station/simulated_weather.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

class QSocketNotifier;

// The board's side of the protocol, free of any device: bytes in, replies out.
class BoardProtocol {
public:
    struct Thresholds {
        int hysteresisTenths = 20, offsetTenths = 80;
        int wind = 300, rain = 400, light = 950, windTimer = 122, windMultiplier = 3, heaterOnTime = 60;
    };

    explicit BoardProtocol(quint32 seed = 1) : m_weather(seed) {}

    // Feeds received bytes; returns what the board sends back. `elapsedSeconds`
    // is the real time since the previous call, for the weather.
    QByteArray feed(const QByteArray &bytes, double elapsedSeconds);

    BoardReading reading() const;
    const Thresholds &thresholds() const { return m_thresholds; }
    SimulatedWeather &weather() { return m_weather; }
    // Records sent in answer to polls so far.
    int polls() const { return m_polls; }

private:
    void command(const QByteArray &cmd);
    void applySetting(char letter, const QByteArray &digits);

    SimulatedWeather m_weather;
    Thresholds m_thresholds;
    QByteArray m_command; // ":" and what followed it so far
    double m_pendingSeconds = 0;
    int m_polls = 0;
    bool m_heaterAuto = false, m_heaterOn = false;
    bool m_relayAuto = false, m_relayOn = false;
    bool m_lightAlarm = false, m_windAlarm = false;
};

class BoardSimulator : public QObject {
    Q_OBJECT
public:
    explicit BoardSimulator(quint32 seed = 1, QObject *parent = nullptr);
    ~BoardSimulator() override;

    // Opens the pseudo-terminal; false with errorText() when the system refuses.
    bool start();
    QString slavePath() const { return m_slavePath; }
    QString errorText() const { return m_error; }
    BoardProtocol &protocol() { return m_protocol; }
    // A file of weather forcing lines (see parseWeatherForcing), read again
    // whenever it changes; an empty path stops reading it.
    void setControlFile(const QString &path);
    // Off: the board hears everything and answers nothing, as a hung board does.
    void setAnswering(bool on) { m_answering = on; }

private:
    void onReadable();
    void stop();
    void readControlFile();

    BoardProtocol m_protocol;
    QElapsedTimer m_clock;
    int m_master = -1;
    int m_slaveHold = -1; // keeps the far end open so the master never sees a hang-up
    QSocketNotifier *m_notifier = nullptr;
    QString m_slavePath;
    QString m_error;
    QString m_controlPath;
    QDateTime m_controlStamp;
    QElapsedTimer m_controlClock;
    bool m_answering = true;
};
