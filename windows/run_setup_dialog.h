// The setup procedure: fills the setup dialog from Settings, shows it modally
// with the main timer stopped, reads it back on OK (showing it again while a
// field is rejected), stores and writes each accepted value, then restarts the
// averaging windows and the timer.
#pragma once

class frmSetup;

void RunSetupDialog();

// Start-up: loads the dialog hidden and sets prog().runSetupDialog,
// prog().unloadSetupDialog and prog().playWaveFile.
void installSetup();

// The loaded dialog, created hidden when it does not exist yet.
frmSetup *setupDialog();
// Unloads the dialog (the hand box's unload handler). While the procedure is
// showing it, the dialog is closed as by Cancel and removed when the procedure ends.
void unloadSetupDialog();
