#include "focuser/focuser_routines.h"

#include <algorithm>
#include <cmath>

#include <QStringList>

#include "core/hand_box_api.h"
#include "core/messages.h"
#include "core/number_format.h"
#include "core/profile_store.h"
#include "core/settings.h"
#include "focuser/focuser_context.h"
#include "station/weather_state.h"

void RefreshFocuserState(FocuserContext &p)
{
    Settings &s = p.settings;
    if (p.handBox) {
        if (!s.CanTempComp || !s.CanTemp) {
            p.weather.TempEnabled = false;
            p.handBox->setTempComp(2);
        } else {
            p.handBox->setTempComp(p.weather.TempEnabled ? 1 : 0);
        }
        p.handBox->setAllowAsyncWind(p.weather.WindEnabled ? 1 : 0);
    } else if (!s.CanTempComp || !s.CanTemp) {
        p.weather.TempEnabled = false;
    }
    if (s.Absolute) {
        if (s.Position < 0)
            s.Position = 0;
        if (s.Position > s.WindSpeedCloseD)
            // A maximum beyond the 32-bit range (a hand-edited profile) holds at its edge.
            s.Position = int32_t(std::clamp(std::nearbyint(s.WindSpeedCloseD), -2147483648.0, 2147483647.0));
    }
}

void MoveFocuserTo(FocuserContext &focuser, int32_t target)
{
    // No motor is driven; a driver, when one is fitted, takes the target here.
    if (focuser.drive)
        focuser.drive(target);
}

bool SaveOnExit(FocuserContext &p)
{
    if (p.handBox)
        p.handBox->setTimerEnabled(false);
    p.Moving = false;
    p.Linked = false;
    ProfileStore *profile = p.profile;
    const Settings &s = p.settings;
    QStringList failed;
    const auto write = [&](const QString &key, const QString &value) {
        if (!profile->writeValue(kDriverId, key, value))
            failed << key;
    };
    if (profile) {
        write(QStringLiteral("Position"), QString::number(s.Position));
        write(QStringLiteral("Temp"), plainDecimalText(s.Temp));
    }
    if (p.handBox) {
        p.handBox->showNormalWindow();
        if (profile) {
            write(QStringLiteral("Left"), QString::number(p.handBox->windowLeftPx()));
            write(QStringLiteral("Top"), QString::number(p.handBox->windowTopPx()));
        }
    }
    p.helperUtil.value = 0;
    if (failed.isEmpty())
        return true;
    // The program is ending: standard error is the one place left to say it.
    printNotice(QStringLiteral("the settings %1 were not saved at exit (%2)")
                    .arg(failed.join(QStringLiteral(", ")), profile->lastWriteError()));
    return false;
}
