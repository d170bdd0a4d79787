// The program with windows (tarnwick): the watch of App with the hand box
// over it, the graph windows, the setup dialog and the upload window. Run
// headless (asked for, or without a display) it has none of them and is the
// watch alone, as tarnwickd.
#pragma once

#include "app/app.h"
#include "app/startup.h"

class GraphWindows;
class HandBox;
class SetupProcedure;
class UploadUi;

class DesktopApp : public App {
public:
    DesktopApp();
    ~DesktopApp() override;

    // The hand box mirrors the watch model; null when nobody looks (headless).
    std::unique_ptr<HandBox> handBox;
    // The graph windows behind the hand box (none open until asked for).
    std::unique_ptr<GraphWindows> graphs;
    // The setup dialog and its procedure; null when nobody looks (headless).
    std::unique_ptr<SetupProcedure> setup;
    // The upload window, a mirror of the upload; null when nobody looks.
    std::unique_ptr<UploadUi> uploadWindow;

    void buildWindows(const CommandLine &cl) override;
    void installWindows() override;
    std::vector<std::function<void()>> wireWindows() override;
    void showWindows() override;
    void runSetupDialog() override;
    void unloadWindows() override;
};

// Builds the program with windows (none headless) and runs start-up.
std::unique_ptr<DesktopApp> Main(const CommandLine &cl, ProfileStore &profile, std::function<void()> quit = {},
                                 bool watchLater = false);

// The whole program for a parsed command line; returns the exit status.
int runProgram(int argc, char **argv, const CommandLine &cl);
