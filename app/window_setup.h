// Start-up's wiring of the windows around the watch: the setup dialog, what
// closing the watch runs, the hand box's buttons, and the first showing.
#pragma once

#include <functional>

class App;

// The setup dialog loads hidden (with a display); sounds play through its player.
void installSetupDialog(App &a);
// What closing the watch runs and the watch's tick; with a window, what its
// buttons open. `exitSaveFailed` hears of a save at exit that did not reach the disk.
void wireClosingAndButtons(App &a, std::function<void()> exitSaveFailed);
// Window state, then the hand box and the upload window beside it.
void showWindows(App &a);
