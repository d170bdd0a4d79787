// The traffic reporting protocol: callers report only while the traffic window
// exists and the check box of their group is checked.
#pragma once

#include <QString>

enum class TrafficGroup { MoveHalt, OtherCalls, TempRelated, IsMoving };

class TrafficApi {
public:
    virtual ~TrafficApi() = default;
    virtual void TrafficLine(const QString &text) = 0;
    virtual void TrafficStart(const QString &text) = 0;
    virtual void TrafficEnd(const QString &text) = 0;
    virtual void TrafficChar(const QString &text) = 0;
    virtual bool groupEnabled(TrafficGroup group) const = 0;
};

// The open traffic window when its group is on, else nullptr; ask again before
// each report, since a report may close the window in between.
TrafficApi *trafficFor(TrafficGroup group);
