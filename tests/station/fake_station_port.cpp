#include "fake_station_port.h"

PortResult FakeStationPort::connectPort()
{
    isOpen = openSucceeds;
    return isOpen ? PortResult::Ok : PortResult::PortError;
}

PortResult FakeStationPort::clearBuffers()
{
    ++clears;
    return isOpen ? PortResult::Ok : PortResult::PortError;
}

PortResult FakeStationPort::transmit(const QString &text)
{
    if (!isOpen)
        return PortResult::PortError;
    if (transmitsBeforeFailure == 0)
        return PortResult::PortError;
    if (transmitsBeforeFailure > 0)
        --transmitsBeforeFailure;
    transmits << text;
    return PortResult::Ok;
}

FakeStationPort::Answer FakeStationPort::next()
{
    ++receives;
    if (!answers.empty()) {
        Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    if (standingAnswer)
        return *standingAnswer;
    return {PortResult::TimedOut, QString()};
}

PortResult FakeStationPort::receive(int n, QString &out)
{
    const Answer a = next();
    if (a.result == PortResult::Ok)
        out = a.text.left(n);
    return a.result;
}

PortResult FakeStationPort::receiveUntil(const QString &, QString &out)
{
    const Answer a = next();
    if (a.result == PortResult::Ok)
        out = a.text;
    return a.result;
}
