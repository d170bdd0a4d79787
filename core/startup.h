// Start-up (Main) and the process around it: the order in which the long-lived
// objects are made, settings loaded and the board searched; clean shutdown on
// SIGTERM and SIGINT.
#pragma once

#include "core/command_line.h"

class HandBox;
class ProfileStore;

// Runs Main's start-up sequence with an existing application object. The
// returned hand box lives until the process ends.
HandBox *Main(const CommandLine &cl, ProfileStore &profile);

// The whole program for a parsed command line; returns the exit status.
int runProgram(int argc, char **argv, const CommandLine &cl);
