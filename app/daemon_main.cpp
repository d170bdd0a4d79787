// Entry point of the program without windows (tarnwickd, the service's):
// the same command line as tarnwick's, always headless.
#include "app/command_line.h"
#include "app/startup.h"

int main(int argc, char **argv)
{
    return runCommandLine(argc, argv, &runWithoutWindows);
}
