// What the program costs while it only watches, against the least any
// program polling the same board pays (floor_exchange): side by side in one
// window, each on a board of its own in another process (answering at once,
// or a character at a time at 9600 baud), and `--simulate` against
// floor_exchange plus the board it talks to. The program runs with its
// archive, web page and Alpaca endpoint on. Also: resident memory and what is
// mapped, the first live value served after start, a week's chart request on
// a day of archive, every window open on Xvfb, and INDI's weather simulator
// when installed. Ends with each goal met or MISSED.
//   idle_cost [seconds]          (default 60)
//   idle_cost exchange           (only the exchange times)
//   idle_cost windows [seconds]  (only every window open on Xvfb, beside plain Qt
//                                 windows showing as many changes; default 60)
//   idle_cost first [PATH...]    (only the first live value served, 5 starts of
//                                 this build's program or, taking turns, of each given one)
// IDLE_COST_WINDOWS_OPEN=PATH measures another build's windows_open.
#include "idle_probes.h"
#include "proc_status.h"
#include "process_sample.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

struct Subject {
    explicit Subject(QString n = {}) : name(std::move(n)) {}
    QString name;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<QProcess> process;
    std::vector<qint64> pids; // counted together
    QByteArray thread;        // only this thread of them, when named
    std::vector<ProcessSample> start, end;
    ProcessRates rates;
};

// A board process; returns the device it serves.
QString startBoard(QProcess &p, bool paced)
{
    p.setProgram(QStringLiteral(EXTERNAL_BOARD_BINARY));
    p.setArguments(paced ? QStringList{QStringLiteral("--paced")} : QStringList{});
    p.start();
    if (!p.waitForReadyRead(5000))
        return {};
    return QString::fromLocal8Bit(p.readLine().trimmed());
}

std::unique_ptr<QProcess> startQuiet(const QString &program, const QStringList &args,
                                     const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    auto p = std::make_unique<QProcess>();
    p->setProcessEnvironment(env);
    p->setStandardOutputFile(QProcess::nullDevice());
    p->setStandardErrorFile(QProcess::nullDevice());
    p->start(program, args);
    p->waitForStarted(5000);
    return p;
}

constexpr int kBoards = 6;

quint16 nextPort()
{
    static quint16 port = quint16(20000 + (getpid() % 500) * 20);
    return port++;
}

Subject tarnwick(const QString &name, const QStringList &board)
{
    Subject s(name);
    s.dir = std::make_unique<QTemporaryDir>();
    s.process = startHeadless(s.dir->path(), nextPort(),
                              QStringList{QStringLiteral("--archive"), s.dir->filePath(QStringLiteral("archive.sqlite"))} + board);
    s.pids = {s.process->processId()};
    return s;
}

Subject floorOn(const QString &name, const QString &device, qint64 boardPid = 0)
{
    Subject s(name);
    s.process = startQuiet(QStringLiteral(FLOOR_EXCHANGE_BINARY), {device});
    s.pids = {s.process->processId()};
    if (boardPid)
        s.pids.push_back(boardPid);
    return s;
}

void sampleAll(std::vector<Subject *> &subjects, bool atStart)
{
    for (Subject *s : subjects) {
        auto &into = atStart ? s->start : s->end;
        into.clear();
        for (qint64 pid : s->pids)
            into.push_back(sampleProcess(pid, s->thread));
    }
}

void printRow(const Subject &s)
{
    if (!s.rates.valid) {
        std::printf("%-50s ended during the run\n", qPrintable(s.name));
        return;
    }
    std::printf("%-50s %9.3f%% %9.2f %9.2f %8.1f\n", qPrintable(s.name), s.rates.cpuPercent, s.rates.wakeups,
                s.rates.preempted, s.rates.rssMb);
}

int g_missed = 0;
void goal(const char *what, const QString &figure, bool met)
{
    g_missed += met ? 0 : 1;
    std::printf("  %-62s %-34s %s\n", what, qPrintable(figure), met ? "met" : "MISSED");
}

void cpuGoals(const char *cpuWhat, const char *wakeWhat, const Subject &program, const Subject &floor)
{
    const double ratio = program.rates.cpuPercent / floor.rates.cpuPercent;
    goal(cpuWhat,
         QStringLiteral("%1 % / %2 % = %3x").arg(program.rates.cpuPercent, 0, 'f', 3).arg(floor.rates.cpuPercent, 0, 'f', 3).arg(ratio, 0, 'f', 2),
         program.rates.valid && floor.rates.valid && ratio <= 1.5);
    const double extra = program.rates.wakeups - floor.rates.wakeups;
    goal(wakeWhat,
         QStringLiteral("%1 / %2 = %3%4/s").arg(program.rates.wakeups, 0, 'f', 2).arg(floor.rates.wakeups, 0, 'f', 2).arg(extra >= 0 ? "+" : "").arg(extra, 0, 'f', 2),
         program.rates.valid && floor.rates.valid && extra <= 1.0);
}

// Everything measured in one window, by role.
struct Field {
    std::vector<std::unique_ptr<Subject>> owned;
    std::vector<Subject *> all;
    Subject *atOnce = nullptr, *floorAtOnce = nullptr, *paced = nullptr, *floorPaced = nullptr;
    Subject *simulated = nullptr, *floorSimulated = nullptr, *bareHeadless = nullptr, *bareAll = nullptr;
    Subject *windows = nullptr, *windowsWatch = nullptr;
    Subject *floorIdle = nullptr, *floorTexts = nullptr, *floorCharts = nullptr, *floorBoth = nullptr;
    Subject *qtFloor = nullptr, *bareServer = nullptr; // what Qt alone costs
    std::unique_ptr<QProcess> xvfb;
    QTemporaryDir windowsDir;
    QProcess indi;

    Subject *add(Subject s)
    {
        owned.push_back(std::make_unique<Subject>(std::move(s)));
        all.push_back(owned.back().get());
        return owned.back().get();
    }
};

Subject quiet(const QString &name, const QString &program, const QStringList &args,
              const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    Subject s(name);
    s.process = startQuiet(program, args, env);
    s.pids = {s.process->processId()};
    return s;
}

void startPrograms(Field &f, const QString (&device)[kBoards], qint64 floorBoardPid, const QString &folder)
{
    f.atOnce = f.add(tarnwick(QStringLiteral("tarnwick, board answering at once"), {QStringLiteral("--serial-device"), device[0]}));
    f.floorAtOnce = f.add(floorOn(QStringLiteral("floor_exchange, board answering at once"), device[2]));
    f.paced = f.add(tarnwick(QStringLiteral("tarnwick, board at 9600 baud"), {QStringLiteral("--serial-device"), device[1]}));
    f.floorPaced = f.add(floorOn(QStringLiteral("floor_exchange, board at 9600 baud"), device[3]));
    f.simulated = f.add(tarnwick(QStringLiteral("tarnwick --simulate"), {QStringLiteral("--simulate")}));
    f.floorSimulated = f.add(floorOn(QStringLiteral("floor_exchange + its board process"), device[4], floorBoardPid));
    f.bareHeadless = f.add(quiet(QStringLiteral("bare QCoreApplication, the watch's libraries"), QStringLiteral(BARE_HEADLESS_BINARY), {}));
    f.bareAll = f.add(quiet(QStringLiteral("bare QCoreApplication, linked like tarnwick"), QStringLiteral(BARE_ALL_BINARY), {}));
    f.qtFloor = f.add(quiet(QStringLiteral("floor's exchange on a bare Qt event loop"), QStringLiteral(QT_FLOOR_EXCHANGE_BINARY),
                            {device[5]}));
    f.bareServer = f.add(quiet(QStringLiteral("bare Qt HTTP server + an SQLite row a second"), QStringLiteral(BARE_SERVER_BINARY),
                               {folder, QString::number(nextPort())}));
}

// Every window open on a virtual screen.
void startWindows(Field &f)
{
    const QString display = QStringLiteral(":%1").arg(90 + getpid() % 100);
    f.xvfb = startQuiet(QStringLiteral("Xvfb"), {display, QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1366x768x24"),
                                                 QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    QThread::sleep(1);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    const QString windowsOpen = qEnvironmentVariable("IDLE_COST_WINDOWS_OPEN", QStringLiteral(WINDOWS_OPEN_BINARY));
    f.windows = f.add(quiet(QStringLiteral("every window open on Xvfb (--simulate)"), windowsOpen,
                            {f.windowsDir.path(), QString::number(nextPort())}, env));
    Subject watch(QStringLiteral("  of which the watch's thread"));
    watch.pids = f.windows->pids;
    watch.thread = "watch";
    f.windowsWatch = f.add(std::move(watch));
    // Plain Qt windows showing as many changes, with no watch: what Qt itself costs.
    const QString floor = QStringLiteral(WINDOWS_FLOOR_BINARY);
    f.floorIdle = f.add(quiet(QStringLiteral("plain Qt: ten value boxes, waking each second"), floor, {QStringLiteral("idle")}, env));
    f.floorTexts = f.add(quiet(QStringLiteral("plain Qt: ten value boxes changing each second"), floor, {QStringLiteral("texts")}, env));
    f.floorCharts = f.add(quiet(QStringLiteral("plain Qt: the two chart windows"), floor, {QStringLiteral("charts")}, env));
    f.floorBoth = f.add(quiet(QStringLiteral("plain Qt: both in one process"), floor, {QStringLiteral("both")}, env));
}

// Why the windows' goal is missed when it is: what plain Qt windows cost for
// the same changes, plus the watch the windows show.
void printWindowsLimit(const Field &f)
{
    const double floor = f.floorBoth->rates.cpuPercent;
    const double watch = f.windowsWatch->rates.cpuPercent;
    std::printf("  %-62s %.3f %% + %.3f %% = %.3f %%\n", "  least possible: plain Qt windows + the watch's thread", floor, watch,
                floor + watch);
    std::printf("  %-62s %.3f %% (plain Qt %.3f %%)\n", "  the window thread and the rest of the program",
                f.windows->rates.cpuPercent - watch, floor);
}

// INDI's weather simulator beside them, when installed.
void startIndi(Field &f)
{
    const QString indiserver = QStandardPaths::findExecutable(QStringLiteral("indiserver"));
    const QString setprop = QStandardPaths::findExecutable(QStringLiteral("indi_setprop"));
    if (indiserver.isEmpty() || setprop.isEmpty())
        return;
    const QString port = QString::number(nextPort());
    f.indi.setStandardOutputFile(QProcess::nullDevice());
    f.indi.setStandardErrorFile(QProcess::nullDevice());
    f.indi.start(indiserver, {QStringLiteral("-p"), port, QStringLiteral("indi_simulator_weather")});
    QThread::sleep(2);
    QProcess::execute(setprop, {QStringLiteral("-p"), port, QStringLiteral("Weather Simulator.CONNECTION.CONNECT=On")});
    QThread::sleep(1);
    QProcess::execute(setprop, {QStringLiteral("-p"), port, QStringLiteral("Weather Simulator.WEATHER_UPDATE.PERIOD=1")});
    if (const qint64 pid = childNamed(f.indi.processId(), "indi_simulator")) {
        Subject s(QStringLiteral("INDI indi_simulator_weather, 1 s"));
        s.pids = {pid};
        f.add(std::move(s));
    }
}

void measure(Field &f, int seconds)
{
    QThread::sleep(6); // start-up and the board search are not what we measure
    sampleAll(f.all, true);
    QThread::sleep(unsigned(seconds));
    sampleAll(f.all, false);
    for (Subject *s : f.all) {
        s->rates.valid = true;
        for (size_t k = 0; k < s->pids.size(); ++k)
            s->rates += ratesBetween(s->start[k], s->end[k], seconds);
    }
}

// The measured rows, one a program.
void printTable(const Field &f, int seconds)
{
    std::printf("\nover %d s (processor: %% of one core, all threads; wake-ups: voluntary context switches/s;"
                " preempted: involuntary/s)\n",
                seconds);
    std::printf("%-50s %10s %9s %9s %8s\n", "", "processor", "wake-ups", "preempted", "RSS MB");
    for (const Subject *s : f.all)
        printRow(*s);
}

void windowsGoal(const Field &f)
{
    goal("every window open on Xvfb: <= 0.10 % of a core", QStringLiteral("%1 %").arg(f.windows->rates.cpuPercent, 0, 'f', 3),
         f.windows->rates.valid && f.windows->rates.cpuPercent <= 0.10);
}

void printGoals(const Field &f, const QStringList &mapped, double worstFirst, double chartMs)
{
    std::printf("\ngoals\n");
    cpuGoals("processor, board at once: tarnwick / floor <= 1.5x", "wake-ups, board at once: <= floor + 1/s", *f.atOnce, *f.floorAtOnce);
    cpuGoals("processor, board at 9600 baud: tarnwick / floor <= 1.5x", "wake-ups, board at 9600 baud: <= floor + 1/s", *f.paced,
             *f.floorPaced);
    cpuGoals("processor, --simulate: tarnwick / (floor + board) <= 1.5x", "wake-ups, --simulate: <= floor + board + 1/s", *f.simulated,
             *f.floorSimulated);
    const ProcessRates &headless = f.atOnce->rates;
    goal("resident memory, headless: <= 20 MB",
         QStringLiteral("%1 MB (bare: %2 / %3 MB)").arg(headless.rssMb, 0, 'f', 1).arg(f.bareHeadless->rates.rssMb, 0, 'f', 1).arg(f.bareAll->rates.rssMb, 0, 'f', 1),
         headless.valid && headless.rssMb <= 20);
    // The limits: what a Qt program pays before doing any of the watch's work.
    std::printf("  %-62s %.2fx\n", "(limit) the bare exchange on a Qt event loop / floor",
                f.qtFloor->rates.cpuPercent / f.floorAtOnce->rates.cpuPercent);
    std::printf("  %-62s %.2fx\n", "(limit) that + an SQLite row a second, HTTP idle / floor",
                (f.qtFloor->rates.cpuPercent + f.bareServer->rates.cpuPercent) / f.floorAtOnce->rates.cpuPercent);
    std::printf("  %-62s %.1f MB\n", "(limit) resident: idle Qt HTTP server + SQLite file", f.bareServer->rates.rssMb);
    // Most of the resident figure is library pages shared with every Qt program.
    const long long anonKb = procStatusValue(QStringLiteral("/proc/%1/status").arg(f.atOnce->pids.front()), "RssAnon:");
    std::printf("  %-62s %.1f MB\n", "(figure) the headless program's own (anonymous) memory", anonKb / 1024.0);
    const QStringList plugins = mapped.filter(QStringLiteral("libq"));
    goal("no GUI platform plugin loaded, headless", plugins.isEmpty() ? QStringLiteral("none") : plugins.join(QLatin1Char(' ')), plugins.isEmpty());
    goal("first live value served: <= 1.5 s", QStringLiteral("%1 s").arg(worstFirst, 0, 'f', 2), worstFirst <= 1.5);
    goal("7-day chart request on 24 h of archive: <= 150 ms", QStringLiteral("%1 ms").arg(chartMs, 0, 'f', 1), chartMs >= 0 && chartMs <= 150);
    windowsGoal(f);
    printWindowsLimit(f);
    std::printf("%d goal(s) missed\n", g_missed);
}

void printReport(const Field &f, int seconds, double worstFirst, double chartMs)
{
    const QStringList mapped = mappedOf(f.atOnce->pids.front(), {QStringLiteral("libqxcb"), QStringLiteral("libqoffscreen"),
                                                                QStringLiteral("libQt6Widgets"), QStringLiteral("libQt6Gui")});
    printTable(f, seconds);
    std::printf("\nfirst live value served after start (--simulate, worst of 3): %.2f s\n", worstFirst);
    std::printf("a 7-day chart request on a day of archive: %.1f ms of the program's processor\n", chartMs);
    std::printf("GUI libraries mapped by the headless program: %s\n", mapped.isEmpty() ? "none" : qPrintable(mapped.join(QLatin1Char(' '))));
    printGoals(f, mapped, worstFirst, chartMs);
}

void stopAll(Field &f)
{
    for (Subject *s : f.all)
        if (s->process) {
            s->process->terminate();
            s->process->waitForFinished(5000);
        }
    f.indi.terminate();
    f.indi.waitForFinished(5000);
    if (f.xvfb) {
        f.xvfb->terminate();
        f.xvfb->waitForFinished(5000);
    }
}

void printLoad()
{
    QFile load(QStringLiteral("/proc/loadavg"));
    std::printf("load before the run: %s\n", load.open(QIODevice::ReadOnly) ? load.readAll().trimmed().constData() : "?");
}

// Only the windows: quick to repeat while working on them.
int windowsOnly(int seconds)
{
    printLoad();
    Field field;
    startWindows(field);
    measure(field, seconds);
    printTable(field, seconds);
    std::printf("\ngoals\n");
    windowsGoal(field);
    printWindowsLimit(field);
    stopAll(field);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const bool exchangeOnly = argc > 1 && QByteArray(argv[1]) == "exchange";
    if (argc > 1 && QByteArray(argv[1]) == "first") {
        printLoad();
        printFirstLiveSideBySide(QCoreApplication::arguments().mid(2), nextPort());
        return 0;
    }
    if (argc > 1 && QByteArray(argv[1]) == "windows")
        return windowsOnly(argc > 2 ? std::max(10, atoi(argv[2])) : 60);
    const int seconds = argc > 1 && !exchangeOnly ? std::max(10, atoi(argv[1])) : 60;

    QProcess boards[kBoards];
    QString device[kBoards];
    for (int k = 0; k < kBoards; ++k) // 1 and 3 at 9600 baud, the others at once
        device[k] = startBoard(boards[k], k == 1 || k == 3);
    for (const QString &d : device)
        if (d.isEmpty()) {
            std::fprintf(stderr, "cannot start %s\n", EXTERNAL_BOARD_BINARY);
            return 1;
        }
    printLoad();
    if (exchangeOnly) {
        printExchangeTimes(device[1], "board at 9600 baud, byte by byte");
        printExchangeTimes(device[0], "board answering at once; 120 ms of waits");
        QTemporaryDir logDir;
        printLogLineCost(logDir.path());
        return 0;
    }

    double worstFirst = 0;
    for (int k = 0; k < 3; ++k)
        worstFirst = std::max(worstFirst, firstLiveServedSeconds(nextPort()));
    const double chartMs = weekChartRequestMs(nextPort());

    Field field;
    QTemporaryDir bareDir;
    startPrograms(field, device, boards[4].processId(), bareDir.path());
    startWindows(field);
    startIndi(field);
    measure(field, seconds);
    printReport(field, seconds, worstFirst, chartMs);
    stopAll(field);
    for (QProcess &b : boards) {
        b.kill();
        b.waitForFinished();
    }
    return 0;
}
