// The command line: options for a normal run and the "config" subcommand.
#pragma once

#include <QString>
#include <QStringList>

struct CommandLine {
    bool headless = false;
    bool simulate = false;
    bool automation = false;
    bool alpacaEnabled = true;
    QString profilePath;
    QString serialDevice;
    QString logDir;
    QString alpacaAddress = QStringLiteral("127.0.0.1");
    int alpacaPort = 11111;
    QStringList configArgs; // after "config"; empty for a normal run
    bool isConfig = false;
    QString archivePath;          // --archive; empty: the default path
    bool archiveEnabled = true;   // --no-archive turns it off
    QStringList historyArgs;      // after "history"
    bool isHistory = false;
    QStringList calibrateSkyArgs; // after "calibrate-sky"
    bool isCalibrateSky = false;

    enum class Outcome { Run, ExitOk, ExitUsage };
    Outcome outcome = Outcome::Run;
    QString output; // --help / --version text, or the one-line error
};

CommandLine parseCommandLine(const QStringList &arguments);
// The process's arguments parsed: --help, --version and bad options end here
// (status 0 or 2); otherwise `run` runs the program or its command.
int runCommandLine(int argc, char **argv, int (*run)(int argc, char **argv, const CommandLine &cl));
QString usageText();
