// The station port on a real serial device (or the simulator's pseudo-terminal).
// Waiting for data runs a local event loop, so windows, sockets, timers and
// automation calls go on being served while the thread sleeps.
#pragma once

#include "station/station_port.h"

#include <QByteArray>
#include <QSerialPort>
#include <functional>

class SerialStationPort : public StationPort {
public:
    // The serial port object goes with the station to the thread that polls it.
    void moveToThread(QThread *thread) { m_port.moveToThread(thread); }
    // Longest answer accepted while looking for a terminator: far above a
    // record, so a device that never sends "#" cannot fill memory.
    static constexpr int kMaxAnswer = 1024;

    // Which device a port number opens; without one, the default mapping
    // (/dev/ttyS<n-1>).
    using DeviceResolver = std::function<QString(int portNumber)>;
    explicit SerialStationPort(DeviceResolver resolver = {});

    void setPortNumber(int16_t number) override { m_portNumber = number; }
    void setSpeed(int baud) override { m_baud = baud; }
    void setReceiveTimeout(int seconds) override { m_timeoutMs = seconds * 1000; }

    PortResult connectPort() override;
    void disconnectPort() override;
    bool connected() const override { return m_port.isOpen(); }
    PortResult clearBuffers() override;

    PortResult transmit(const QString &text) override;
    PortResult receive(int n, QString &out) override;
    PortResult receiveUntil(const QString &terminator, QString &out) override;

    QString deviceName() const override { return m_device; }
    QString errorText() const override { return m_error; }
    // The mapped device with its links followed, as the next open finds it.
    QString deviceForPort(int16_t number) const override;

    // Milliseconds, for tests that cannot wait whole seconds.
    void setReceiveTimeoutMs(int ms) { m_timeoutMs = ms; }

    // Whether the port is watching the device for arriving bytes (only while
    // a receive waits for a character or for the device's end).
    bool watchingDevice() const;

private:
    // Sleeps in the event loop until more data, an error, or the deadline.
    // While `missing` characters of an answer of known length are still to
    // come, it does not watch the device (each arriving character would wake
    // the thread) but sleeps the least time they need at the port's speed,
    // and watches again once such a wait brought nothing. False when the
    // application is quitting (its event loops no longer run).
    struct WaitProgress {
        bool timed = false;       // the last wait did not watch the device
        qsizetype pendingAt = 0;  // bytes in hand when it began
    };
    bool waitForData(int remainingMs, int missing, WaitProgress &progress);
    // Moves received bytes into m_pending; false once the device is gone.
    bool takeAvailable();
    void watchDevice(bool on);

    QSerialPort m_port;
    QByteArray m_pending; // received, not yet handed out
    int16_t m_portNumber = 0;
    int m_baud = 9600;
    int m_timeoutMs = 4000;
    DeviceResolver m_resolver;
    QString m_device;
    QString m_error;
    bool m_lost = false;
    // Length of the last answer read up to a terminator: the next one is
    // expected to be as long (records have a fixed length).
    int m_answerLength = 0;
};

// A one-line reason for an open failure, with what the user can do about it.
// device, when given, tells a port held by another program (a lock file, or
// the device busy) from one this user may not open.
QString openFailureReason(QSerialPort::SerialPortError error, const QString &systemText, const QString &device = {});
