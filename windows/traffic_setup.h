// The traffic window's life: the hand box's "Traffic" button and its unload.
#pragma once

class TrafficApi;

// The hand box's "Traffic" action: opens the window (fresh when none exists).
// The slot is where the program's traffic goes; it points at the open window.
void showTrafficWindow(TrafficApi *&slot);
void unloadTrafficWindow(TrafficApi *&slot);
