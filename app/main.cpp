// Entry point: parse the command line, then run the program or a config command.
#include "app/command_line.h"
#include "app/startup.h"

#include <QStringList>
#include <cstdio>

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const CommandLine cl = parseCommandLine(args);
    if (cl.outcome == CommandLine::Outcome::ExitOk) {
        std::fputs(cl.output.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (cl.outcome == CommandLine::Outcome::ExitUsage) {
        std::fprintf(stderr, "%s\n", cl.output.toLocal8Bit().constData());
        return 2;
    }
    return runProgram(argc, argv, cl);
}
