#include "core/program.h"

#include "core/messages.h"
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

bool saveSettingNow(const QString &key)
{
    ProfileStore *profile = instance().profile;
    if (!profile || saveSetting(*profile, instance().settings, key))
        return true;
    reportSaveFailure(QStringLiteral("%1 was not saved (%2); the change applies only until the program ends.")
                          .arg(key, profile->lastWriteError()));
    return false;
}

void reportSaveFailure(const QString &text)
{
    printNotice(text);
    if (!instance().headless)
        showMessage(text, QStringLiteral("Tarnwick"), MsgIcon::Exclamation);
}

TrafficApi *trafficFor(TrafficGroup group)
{
    TrafficApi *w = instance().TrafficWindow;
    return (w && w->groupEnabled(group)) ? w : nullptr;
}
