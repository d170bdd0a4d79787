#include "app/command_line.h"

#include <cstdio>

#include "core/version.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QHostAddress>
#include <QRegularExpression>

QString usageText()
{
    return QStringLiteral(
        "Usage: tarnwick [options]\n"
        "       tarnwick [--profile FILE] config list | get [SUBKEY/]KEY | set [SUBKEY/]KEY VALUE\n"
        "       tarnwick [--profile FILE] config set-password [--clear]\n"
        "       tarnwick [--archive PATH] history [--since 6h|ISO] [--until ISO] [--minute] [--csv|--json]\n"
        "       tarnwick [--archive PATH] history --nights [--since 30d|ISO] [--csv|--json]\n"
        "       tarnwick [--profile FILE] [--archive PATH] calibrate-sky [--nights N]\n"
        "\n"
        "Weather watch for an observatory: polls the sensor board once a second, shows,\n"
        "logs and uploads its readings, and serves a focuser-shaped automation device\n"
        "over ASCOM Alpaca.\n"
        "\n"
        "Options:\n"
        "  --headless             run without a display; message boxes go to standard error\n"
        "  --profile FILE         settings profile (default $XDG_CONFIG_HOME/tarnwick/profile.ini)\n"
        "  --serial-device PATH   serial device of the board for this run (overrides the port mapping)\n"
        "  --simulate             run on the built-in board simulator\n"
        "  --alpaca-address ADDR  address of the Alpaca endpoint (default 127.0.0.1)\n"
        "  --alpaca-port N        port of the Alpaca endpoint (default 11111)\n"
        "  --no-alpaca            do not serve the Alpaca endpoint\n"
        "  --log-dir DIR          folder of log.txt (default the program's folder)\n"
        "  --archive PATH         weather archive (default $XDG_DATA_HOME/tarnwick/archive.sqlite)\n"
        "  --no-archive           keep no archive this run\n"
        "  --automation           start as if launched for an automation client\n"
        "  -h, --help             show this help\n"
        "  -v, --version          show the version\n"
        "\n"
        "config list              print every stored value as [SUBKEY/]KEY=VALUE\n"
        "config get KEY           print one value (Capabilities keys are found without their subkey)\n"
        "config set KEY VALUE     store one value, e.g. config set \"Ports/COM 2\" /dev/ttyUSB0\n"
        "                         (while the program runs, it checks, saves and applies the change)\n"
        "config set-password      set the web page's password (typed twice, or one line on standard\n"
        "                         input); config set-password --clear removes it\n"
        "\n"
        "history                  print archived observations as CSV (readable while the watch runs):\n"
        "  --since WHEN           start: 90s, 30m, 6h, 2d ago, or an ISO time in UTC such as\n"
        "                         2026-12-07T20:00 (default 1h)\n"
        "  --until WHEN           end, in the same forms (default now)\n"
        "  --minute               one summary line per minute: mean, lowest and highest\n"
        "  --csv | --json         CSV with units in the heading line (default), or JSON\n"
        "  --nights               per night at the site (Latitude, Longitude): dark hours, clear\n"
        "                         dark hours, safe hours, rain minutes; a table (default), CSV or\n"
        "                         JSON; --since as above (default 30d), tonight so far last\n"
        "\n"
        "calibrate-sky            fit the clear sky's reading against the ambient from the coldest\n"
        "                         readings of the archive's dark hours and propose Sky/K1..K7 and\n"
        "                         the cloud limits; prints the fit, the dark hours each choice\n"
        "                         would call clear, partly cloudy and overcast, and the config set\n"
        "                         lines to apply it. Changes nothing.\n"
        "  --nights N             the last N nights (default 60)\n");
}

namespace {
// "history ..." or "config ..." after the options; the reason when they are
// not usable, else empty.
QString readSubcommand(const QStringList &positional, CommandLine &cl)
{
    if (!positional.isEmpty() && positional.first() == QLatin1String("history")) {
        cl.isHistory = true;
        cl.historyArgs = positional.mid(1);
        return QString();
    }
    if (!positional.isEmpty() && positional.first() == QLatin1String("calibrate-sky")) {
        cl.isCalibrateSky = true;
        cl.calibrateSkyArgs = positional.mid(1);
        return QString();
    }
    if (positional.isEmpty())
        return QString();
    if (positional.first() != QLatin1String("config"))
        return QStringLiteral("unknown argument \"%1\"").arg(positional.first());
    cl.isConfig = true;
    cl.configArgs = positional.mid(1);
    // Options after the subcommand arrive as words; "--profile" is the one config uses.
    for (int i = 0; i < cl.configArgs.size();) {
        const QString &a = cl.configArgs[i];
        if (a == QLatin1String("--profile")) {
            if (i + 1 >= cl.configArgs.size() || cl.configArgs[i + 1].isEmpty())
                return QStringLiteral("--profile needs a file name");
            cl.profilePath = cl.configArgs[i + 1];
            cl.configArgs.remove(i, 2);
        } else if (a.startsWith(QLatin1String("--profile="))) {
            cl.profilePath = a.mid(10);
            if (cl.profilePath.isEmpty())
                return QStringLiteral("--profile needs a file name");
            cl.configArgs.remove(i);
        } else {
            ++i;
        }
    }
    if (cl.configArgs.isEmpty())
        return QStringLiteral("config needs list, get KEY or set KEY VALUE");
    return QString();
}
} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine cl;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption headless(QStringLiteral("headless"));
    const QCommandLineOption simulate(QStringLiteral("simulate"));
    const QCommandLineOption automation(QStringLiteral("automation"));
    const QCommandLineOption noAlpaca(QStringLiteral("no-alpaca"));
    const QCommandLineOption profile(QStringLiteral("profile"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption serial(QStringLiteral("serial-device"), QString(), QStringLiteral("PATH"));
    const QCommandLineOption logDir(QStringLiteral("log-dir"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption alpacaAddress(QStringLiteral("alpaca-address"), QString(), QStringLiteral("ADDR"));
    const QCommandLineOption alpacaPort(QStringLiteral("alpaca-port"), QString(), QStringLiteral("N"));
    const QCommandLineOption archive(QStringLiteral("archive"), QString(), QStringLiteral("PATH"));
    const QCommandLineOption noArchive(QStringLiteral("no-archive"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOptions({headless, simulate, automation, noAlpaca, profile, serial, logDir, alpacaAddress, alpacaPort,
                       archive, noArchive, help, version});

    auto fail = [&cl](const QString &why) {
        cl.outcome = CommandLine::Outcome::ExitUsage;
        cl.output = QStringLiteral("tarnwick: %1 (see tarnwick --help)").arg(why);
        return cl;
    };
    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (parser.isSet(help)) {
        cl.outcome = CommandLine::Outcome::ExitOk;
        cl.output = usageText();
        return cl;
    }
    if (parser.isSet(version)) {
        cl.outcome = CommandLine::Outcome::ExitOk;
        cl.output = QStringLiteral("tarnwick %1\n").arg(QString::fromLatin1(programVersion()));
        return cl;
    }
    cl.headless = parser.isSet(headless);
    cl.simulate = parser.isSet(simulate);
    cl.automation = parser.isSet(automation);
    cl.alpacaEnabled = !parser.isSet(noAlpaca);
    cl.profilePath = parser.value(profile);
    cl.serialDevice = parser.value(serial);
    cl.logDir = parser.value(logDir);
    if (parser.isSet(profile) && cl.profilePath.isEmpty())
        return fail(QStringLiteral("--profile needs a file name"));
    if (parser.isSet(serial) && cl.serialDevice.isEmpty())
        return fail(QStringLiteral("--serial-device needs a device path"));
    if (parser.isSet(logDir) && cl.logDir.isEmpty())
        return fail(QStringLiteral("--log-dir needs a folder"));
    cl.archivePath = parser.value(archive);
    cl.archiveEnabled = !parser.isSet(noArchive);
    if (parser.isSet(archive) && cl.archivePath.isEmpty())
        return fail(QStringLiteral("--archive needs a file name"));
    if (parser.isSet(archive) && parser.isSet(noArchive))
        return fail(QStringLiteral("--archive and --no-archive cannot be used together"));
    if (cl.simulate && !cl.serialDevice.isEmpty())
        return fail(QStringLiteral("--simulate and --serial-device cannot be used together"));
    if (parser.isSet(alpacaAddress)) {
        cl.alpacaAddress = parser.value(alpacaAddress);
        if (QHostAddress(cl.alpacaAddress).isNull())
            return fail(QStringLiteral("--alpaca-address \"%1\" is not an IP address").arg(cl.alpacaAddress));
    }
    if (parser.isSet(alpacaPort)) {
        bool ok = false;
        const int port = parser.value(alpacaPort).toInt(&ok);
        if (!ok || port < 1 || port > 65535)
            return fail(QStringLiteral("--alpaca-port \"%1\" is not a port number (1 to 65535)").arg(parser.value(alpacaPort)));
        cl.alpacaPort = port;
    }
    const QString subcommandProblem = readSubcommand(parser.positionalArguments(), cl);
    if (!subcommandProblem.isEmpty())
        return fail(subcommandProblem);
    return cl;
}

int runCommandLine(int argc, char **argv, int (*run)(int argc, char **argv, const CommandLine &cl))
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    CommandLine cl = parseCommandLine(args);
    // The program without windows takes the same command line under its own name.
    if (cl.outcome != CommandLine::Outcome::Run && QFileInfo(args.value(0)).fileName() == QLatin1String("tarnwickd"))
        cl.output.replace(QRegularExpression(QStringLiteral("\\btarnwick(?=[ :])")), QStringLiteral("tarnwickd"));
    if (cl.outcome == CommandLine::Outcome::ExitOk) {
        std::fputs(cl.output.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (cl.outcome == CommandLine::Outcome::ExitUsage) {
        std::fprintf(stderr, "%s\n", cl.output.toLocal8Bit().constData());
        return 2;
    }
    return run(argc, argv, cl);
}
