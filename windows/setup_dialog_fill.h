// Fills the setup dialog's controls from a copy of the settings and the wind now.
#pragma once

class frmSetup;
struct Settings;

void fillSetupDialog(frmSetup &d, const Settings &s, double windNow);
