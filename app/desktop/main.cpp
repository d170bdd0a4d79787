// Entry point of the program with windows: parse the command line, then run
// the program or a config command.
#include "app/command_line.h"
#include "app/desktop/desktop_app.h"

int main(int argc, char **argv)
{
    return runCommandLine(argc, argv, &runProgram);
}
