// Start-up's wiring of the windows around the watch: the setup dialog, what
// closing the watch runs, the hand box's buttons, and the first showing.
#pragma once

#include <functional>

#include <vector>

class DesktopApp;

// The setup dialog loads hidden (with a display); sounds play through its player.
void installSetupDialog(DesktopApp &a);
// What closing the watch runs for the windows, in order; with a window, what
// its buttons open.
std::vector<std::function<void()>> wireWindowsAndButtons(DesktopApp &a);
// The hand box and the upload window beside it.
void showWindows(DesktopApp &a);
