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
std::unique_ptr<App> Main(const CommandLine &cl, ProfileStore &profile, std::function<void()> quit = {});

// The whole program for a parsed command line; returns the exit status.
int runProgram(int argc, char **argv, const CommandLine &cl);
