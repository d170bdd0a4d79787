// The process around the program: SIGTERM and SIGINT close the watch as a
// user would, and a save at exit that failed makes the exit status say so.
#pragma once

class WatchModel;

// The watch the signals close (none: they only end the process).
void closeOnSignal(WatchModel *watch);
// The save at exit did not reach the disk.
void markExitSaveFailed();
