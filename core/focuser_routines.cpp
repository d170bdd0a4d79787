#include "core/focuser_routines.h"

#include <algorithm>
#include <cmath>

#include "core/hand_box_api.h"
#include "core/number_format.h"
#include "core/profile_store.h"
#include "core/program.h"

void RefreshFocuserState()
{
    Program &p = prog();
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

void MoveFocuserTo(int32_t target)
{
    // No motor is driven; a driver, when one is fitted, takes the target here.
    if (prog().focuserDrive)
        prog().focuserDrive(target);
}

DriverHelperUtil &driverHelperUtil()
{
    static DriverHelperUtil util;
    return util;
}

void SaveOnExit()
{
    Program &p = prog();
    if (p.handBox)
        p.handBox->setTimerEnabled(false);
    p.Moving = false;
    p.Linked = false;
    if (p.profile) {
        p.profile->writeValue(kDriverId, QStringLiteral("Position"), QString::number(p.settings.Position));
        p.profile->writeValue(kDriverId, QStringLiteral("Temp"), generalText(p.settings.Temp));
    }
    if (p.handBox) {
        p.handBox->showNormalWindow();
        if (p.profile) {
            p.profile->writeValue(kDriverId, QStringLiteral("Left"), QString::number(p.handBox->windowLeftPx()));
            p.profile->writeValue(kDriverId, QStringLiteral("Top"), QString::number(p.handBox->windowTopPx()));
        }
    }
    driverHelperUtil().value = 0;
}
