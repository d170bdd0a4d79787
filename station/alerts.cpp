#include "station/alerts.h"

namespace {
AlertHandler &handler()
{
    static AlertHandler h;
    return h;
}
} // namespace

AlertHandler setAlertHandler(AlertHandler h)
{
    AlertHandler old = std::move(handler());
    handler() = std::move(h);
    return old;
}

void raiseAlert(AlertKind kind, bool conditionHolds)
{
    if (handler())
        handler()(kind, conditionHolds);
}
