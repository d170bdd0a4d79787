// Start-up (startUp) and the process around it: the order in which the
// long-lived objects are made, settings loaded and the board searched; clean
// shutdown on SIGTERM and SIGINT.
#pragma once

#include "app/command_line.h"

#include <QtGlobal>
#include <functional>
#include <memory>

class App;
class ProfileStore;
class QCoreApplication;

// Runs start-up's sequence on a made program (with its windows, if it has
// any) with an existing application object. The program lives until the
// process ends; its `quit` ends the process (the hand box's close and the
// last client's release call it).
// With `watchLater`, the board search and what follows it are left to the
// caller's startWatchingOnItsThread, once the watch has a thread of its own.
void startUp(App &app, const CommandLine &cl, ProfileStore &profile, bool watchLater = false);
// The watch's thread started: the search and the rest of start-up run there.
void startWatchingOnItsThread(App &a, ProfileStore &profile);

// What a program brings to the process around it.
struct ProcessParts {
    // The application object, made once the profile is locked; `run` says
    // afterwards whether the program runs headless.
    std::function<std::unique_ptr<QCoreApplication>(int &argc, char **argv, CommandLine &run)> application;
    // The program, built and started; `quit` ends the process.
    std::function<std::unique_ptr<App>(const CommandLine &run, ProfileStore &profile, std::function<void()> quit)> start;
};
// The config and history commands, or the program's whole run; returns the exit status.
int runProcess(int argc, char **argv, const CommandLine &cl, const ProcessParts &parts);
// The program without windows (tarnwickd): the watch, its clients and uploads on one thread.
int runWithoutWindows(int argc, char **argv, const CommandLine &cl);
// Headless, the offscreen platform's notes on window calls it cannot honour go unsaid.
void quietOffscreenNotes(QtMsgType type, const QMessageLogContext &context, const QString &msg);
