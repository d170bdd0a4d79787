// A scripted station port: records every transmit, hands out queued answers
// (or a standing answer once the queue is empty), and fails on demand.
#pragma once

#include "station/station_port.h"

#include <QStringList>
#include <deque>
#include <optional>

class FakeStationPort : public StationPort {
public:
    struct Answer {
        PortResult result = PortResult::Ok;
        QString text;
    };

    // Script
    bool openSucceeds = true;
    std::deque<Answer> answers;           // consumed by receive and receiveUntil, in order
    std::optional<Answer> standingAnswer; // used once the queue is empty; none means time-out
    int transmitsBeforeFailure = -1;      // fail the transmit after this many; -1 never

    // Record
    QStringList transmits;
    int16_t portNumber = 0;
    int speed = 0;
    int timeout = 0;
    int clears = 0;
    int receives = 0;
    bool isOpen = false;

    QString sentText() const { return transmits.join(QString()); }
    void clearLog() { transmits.clear(); }

    void setPortNumber(int16_t n) override { portNumber = n; }
    void setSpeed(int baud) override { speed = baud; }
    void setReceiveTimeout(int s) override { timeout = s; }
    PortResult connectPort() override;
    void disconnectPort() override { isOpen = false; }
    bool connected() const override { return isOpen; }
    PortResult clearBuffers() override;
    PortResult transmit(const QString &text) override;
    PortResult receive(int n, QString &out) override;
    PortResult receiveUntil(const QString &terminator, QString &out) override;
    QString deviceName() const override { return QStringLiteral("/dev/fake0"); }
    QString errorText() const override { return QStringLiteral("no such device"); }

private:
    Answer next();
};
