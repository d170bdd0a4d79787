#include "windows/setup_read_back.h"

#include "core/settings.h"
#include "windows/setup_alerts_page.h"
#include "windows/setup_basic_page.h"
#include "windows/setup_board_page.h"
#include "windows/setup_connections_page.h"
#include "windows/setup_dialog.h"
#include "windows/setup_rules_page.h"
#include "windows/setup_safety_page.h"

// The pages' stages interleave: the messages of refused texts, the stop at the
// first refusal and the keys named when the profile cannot be written all
// come in this order.
bool readBack(frmSetup &d, Settings &s, SettingWriter &write)
{
    SetupBasicPage &basic = d.basicPage();
    SetupBoardPage &board = d.boardPage();
    if (!basic.readWindLimits(s, write))
        return false;
    basic.readFocuserType(s, write);
    board.readCentigrade(s, write);
    basic.readDirection(s, write);
    if (!board.readCalibrations(s, write))
        return false;
    basic.readAlwaysOnTop(s, write);
    s.AdvancedSetup = d.AdvancedMode();
    write("AdvancedSetup");
    basic.readOptions(s, write);
    if (!board.readDeltaT(s, write) || !basic.readWindAverage(s, write) || !board.readCompensation(s, write))
        return false;

    board.readTimers(s, write);
    d.alertsPage().readSounds(s, write);
    board.readThresholds(s, write);
    d.alertsPage().readPrograms(s, write);
    d.safetyPage().readBack(s, write);
    d.connectionsPage().readBack(s, write);
    board.readCurrentValue(s, write);
    return d.sitePage().readBack(s, write) && d.notifyPage().readBack(s, write) && d.skyPage().readBack(s, write);
}
