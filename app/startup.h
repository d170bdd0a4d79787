// Start-up (Main) and the process around it: the order in which the long-lived
// objects are made, settings loaded and the board searched; clean shutdown on
// SIGTERM and SIGINT.
#pragma once

#include "app/command_line.h"

#include <functional>
#include <memory>

class App;
class ProfileStore;

// Runs Main's start-up sequence with an existing application object. The
// returned program lives until the process ends.
// `quit` ends the process (the hand box's close and the last client's release call it).
// With `watchLater`, the board search and what follows it are left to the
// caller's startWatchingOnItsThread, once the watch has a thread of its own.
std::unique_ptr<App> Main(const CommandLine &cl, ProfileStore &profile, std::function<void()> quit = {},
                          bool watchLater = false);
// The watch's thread started: the search and the rest of start-up run there.
void startWatchingOnItsThread(App &a, ProfileStore &profile);

// The whole program for a parsed command line; returns the exit status.
int runProgram(int argc, char **argv, const CommandLine &cl);
