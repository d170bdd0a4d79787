#include "core/program.h"

#include "core/profile_store.h"
#include "core/traffic.h"

namespace {
Program &instance()
{
    static Program p;
    return p;
}
} // namespace

Program &prog()
{
    return instance();
}

void resetProgram()
{
    instance() = Program{};
}

void saveSettingNow(const QString &key)
{
    if (instance().profile)
        saveSetting(*instance().profile, instance().settings, key);
}

TrafficApi *trafficFor(TrafficGroup group)
{
    TrafficApi *w = instance().TrafficWindow;
    return (w && w->groupEnabled(group)) ? w : nullptr;
}
