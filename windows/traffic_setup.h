// The traffic window's life: the hand box's "Traffic" button and its unload.
#pragma once

// The hand box's "Traffic" action: opens the window (fresh when none exists).
void showTrafficWindow();
void unloadTrafficWindow();
