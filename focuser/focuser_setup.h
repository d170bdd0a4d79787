// Wiring of the focuser module into the program: the hand box's "Traffic"
// button and the unload of the traffic window.
#pragma once

void installFocuser();
// The hand box's "Traffic" action: opens the window (fresh when none exists).
void showTrafficWindow();
void unloadTrafficWindow();
