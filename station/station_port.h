// The serial port as the station link sees it: the few operations the board
// conversation needs. The real one sits on QSerialPort; tests use a scripted fake.
#pragma once

#include <QString>
#include <cstdint>

enum class PortResult {
    Ok,
    TimedOut,  // the receive time-out passed without enough data
    Overflow,  // no terminator within the longest answer the board can give
    PortError  // not open, device gone, write refused
};

class StationPort {
public:
    virtual ~StationPort() = default;

    virtual void setPortNumber(int16_t number) = 0;
    virtual void setSpeed(int baud) = 0;
    virtual void setReceiveTimeout(int seconds) = 0;

    virtual PortResult connectPort() = 0;
    virtual void disconnectPort() = 0;
    virtual bool connected() const = 0;
    virtual PortResult clearBuffers() = 0;

    virtual PortResult transmit(const QString &text) = 0;
    // Exactly n characters, or TimedOut.
    virtual PortResult receive(int n, QString &out) = 0;
    // Up to and including the terminator, or TimedOut / Overflow.
    virtual PortResult receiveUntil(const QString &terminator, QString &out) = 0;

    // For the one line on standard error when opening fails.
    virtual QString deviceName() const = 0;
    virtual QString errorText() const = 0;
    // The device a port number would open now (for notices before the open).
    virtual QString deviceForPort(int16_t number) const
    {
        (void)number;
        return deviceName();
    }
};
