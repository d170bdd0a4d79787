// A TCP port on the loopback interface that nothing listens on now.
#pragma once

#include <QHostAddress>
#include <QTcpServer>

inline quint16 freeLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}
