// The diagnostic log line, driven through the real station cycle, and the log file.
#include "app/program.h"
#include "station/alerts.h"
#include "station/station_context.h"
#include "station/diagnostic_log.h"
#include "station/station_cycle.h"
#include "station/station_link.h"
#include "station/station_port.h"
#include "station/watch_model.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// A port that never opens: the cycle's processing runs on the record in hand.
class ClosedPort : public StationPort {
public:
    void setPortNumber(int16_t) override {}
    void setSpeed(int) override {}
    void setReceiveTimeout(int) override {}
    PortResult connectPort() override { return PortResult::PortError; }
    void disconnectPort() override {}
    bool connected() const override { return false; }
    PortResult clearBuffers() override { return PortResult::PortError; }
    PortResult transmit(const QString &) override { return PortResult::PortError; }
    PortResult receive(int, QString &) override { return PortResult::PortError; }
    PortResult receiveUntil(const QString &, QString &) override { return PortResult::PortError; }
    QString deviceName() const override { return QStringLiteral("none"); }
    QString errorText() const override { return QString(); }
};

const QString kExampleLine = QStringLiteral(
    "12/06/2026 10:15 AM WingAvg =    0.0 Gusts =    0.0 Rain =  321 TpT =   44.3 AmbT =   26.3 DpT =   21.2 "
    "RH =  73.0 MeasSky =    1.5 CalcSky =   12.4 Diff =   24.5 TPraw =    1.5 Hraw =    676 Brght =      1 "
    "HTRaL =   0 HTRoN =   0 RLYaL =   0 RLYoN =   0 ALght =   0 AWnd =   0");
const QDateTime kExampleTime(QDate(2026, 12, 6), QTime(10, 15, 42));
constexpr int kStampLength = 19; // "MM/DD/YYYY hh:nn AM"

class DiagnosticLogTest : public ::testing::Test {
protected:
    WeatherState weather;
    WatchModel handBox{prog().settings, weather};
    StationContext ctx{prog().settings, weather, handBox};
    ClosedPort port;
    StationLink link{port, ctx};
    StationCycle cycle{link, ctx};
    QTemporaryDir dir;
    DiagnosticLog log;
    QString logDir;
    Observation last; // the last record's

    void SetUp() override
    {
        resetProgram();
        logDir = dir.path();
        cycle.addObserver([this](const Observation &o) {
            last = o;
            if (o.extras.reportDue)
                log.writeReadings(o);
        });
        log.openChosen(logDir);
    }
    void TearDown() override
    {
        log.close();
        resetProgram();
    }

    void cycles(int n)
    {
        for (int i = 0; i < n; ++i)
            cycle.processRecord();
    }
    QStringList fileLines(const QString &path) const
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromLocal8Bit(f.readAll()).split(QStringLiteral("\r\n"));
        EXPECT_EQ(lines.takeLast(), QString()); // every line ends in CR LF
        return lines;
    }
    QString line() const { return diagnosticLogLine(last, kExampleTime); }
};

} // namespace

TEST_F(DiagnosticLogTest, TestRecordGivesTheExampleLine)
{
    cycles(1);
    EXPECT_EQ(line(), kExampleLine);
}

TEST_F(DiagnosticLogTest, OneLineEveryFifthWindowAppendedWithCrLf)
{
    const QString path = dir.filePath(QStringLiteral("log.txt"));
    {
        QFile earlier(path);
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier line\r\n");
    }
    log.close();
    log.openChosen(logDir);
    cycles(4);
    EXPECT_EQ(fileLines(path).size(), 1);
    cycles(6); // WindsAvgCnt 1: cycles 5 and 10 write
    const QStringList lines = fileLines(path);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], QStringLiteral("earlier line"));
    for (const QString &l : lines.mid(1))
        EXPECT_EQ(l.mid(kStampLength), kExampleLine.mid(kStampLength)) << l.toStdString();

    log.close();
    cycles(5);
    EXPECT_EQ(fileLines(path).size(), 3);
}

TEST_F(DiagnosticLogTest, NoLinesWithWindProcessingOff)
{
    weather.WindEnabled = false;
    cycles(20);
    EXPECT_TRUE(fileLines(dir.filePath(QStringLiteral("log.txt"))).isEmpty());
    EXPECT_NE(weather.TempSampleIndex, 0); // temperatures still processed
    EXPECT_DOUBLE_EQ(weather.AmbientTempAvgC, 26.31);
}

TEST_F(DiagnosticLogTest, PlaceholdersAndWideValuesKeepTheirFields)
{
    weather.TempEnabled = false;
    cycles(1);
    last.windGust = 12345.67;
    const QString l = line();
    EXPECT_TRUE(l.contains(QStringLiteral(" TpT =  -99.0 AmbT =  -99.0 "))) << l.toStdString();
    EXPECT_TRUE(l.contains(QStringLiteral(" TPraw =  999.0 Hraw =    999 "))) << l.toStdString();
    EXPECT_TRUE(l.contains(QStringLiteral(" Gusts = 12345.7 Rain = "))) << l.toStdString();
}

TEST(DiagnosticLogLine, StampUsesTwelveHourClockAndFieldsThatHoldNoNumberStay)
{
    EXPECT_EQ(logTimeStamp(QDateTime(QDate(2027, 1, 2), QTime(0, 5))), QStringLiteral("01/02/2027 12:05 AM"));
    EXPECT_EQ(logTimeStamp(QDateTime(QDate(2027, 1, 2), QTime(12, 0))), QStringLiteral("01/02/2027 12:00 PM"));
    EXPECT_EQ(logTimeStamp(QDateTime(QDate(2027, 11, 30), QTime(23, 59))), QStringLiteral("11/30/2027 11:59 PM"));

    Observation o;
    o.windGust = -10; // as before the first wind sample
    o.extras.shown = {QString(), QStringLiteral("x"), QStringLiteral("x"), QStringLiteral("x"), QStringLiteral("x"),
                      QStringLiteral("x"), QStringLiteral("x")};
    const QString l = diagnosticLogLine(o, kExampleTime);
    EXPECT_TRUE(l.contains(QStringLiteral(" RH =       MeasSky =      x "))) << l.toStdString();
    EXPECT_TRUE(l.contains(QStringLiteral(" Gusts =  -10.0 "))) << l.toStdString();
}

TEST(DiagnosticLogLine, StartFlagsEachInTheirOwnColumn)
{
    Observation o;
    o.extras.start = {1, 0, 0, 1, 1, 0};
    const QString l = diagnosticLogLine(o, kExampleTime);
    EXPECT_TRUE(l.endsWith(QStringLiteral(" HTRaL =   1 HTRoN =   0 RLYaL =   0 RLYoN =   1 ALght =   1 AWnd =   0")))
        << l.toStdString();
}

TEST_F(DiagnosticLogTest, UnopenableFolderFallsBackAndFailingWritesNeverStopTheStation)
{
    log.close();
    // log.txt is a folder here: no process, root included, can open it as a file.
    QDir(dir.path()).mkpath(QStringLiteral("blocked/log.txt"));
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    logDir = dir.filePath(QStringLiteral("blocked"));
    log.openChosen(logDir);
    const QString fallback = data.filePath(QStringLiteral("tarnwick/log.txt"));
    EXPECT_EQ(log.filePath(), fallback);
    cycles(5);
    EXPECT_EQ(fileLines(fallback).size(), 1);

    // Neither folder opens: the station runs on without a log.
    log.close();
    QFile plain(dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    qputenv("XDG_DATA_HOME", plain.fileName().toLocal8Bit());
    log.openChosen(logDir);
    EXPECT_FALSE(log.isOpen());
    EXPECT_NO_THROW(cycles(5));
    EXPECT_EQ(weather.WindAverageCount, 0);

    // A full disk: every write fails, the cycles go on, a later write is tried again.
    if (QFile::exists(QStringLiteral("/dev/full"))) {
        QDir(dir.path()).mkpath(QStringLiteral("full"));
        ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), dir.filePath(QStringLiteral("full/log.txt"))));
        logDir = dir.filePath(QStringLiteral("full"));
        log.openChosen(logDir);
        ASSERT_TRUE(log.isOpen());
        QStringList told; // the notifications hear of it once
        log.setWriteFailed([&told](const QString &reason) { told << reason; });
        EXPECT_NO_THROW(cycles(10));
        EXPECT_FALSE(log.writeLine(QStringLiteral("x")));
        ASSERT_EQ(told.size(), 1);
        EXPECT_TRUE(told[0].contains(QStringLiteral("full/log.txt"))) << qPrintable(told[0]);
        EXPECT_TRUE(log.isOpen());
    }
    qunsetenv("XDG_DATA_HOME");
}

namespace {
// Standard error into a pipe while it lives (a file would meet the size limit too).
class StderrCapture {
public:
    StderrCapture()
    {
        std::fflush(stderr);
        m_saved = ::dup(2);
        if (::pipe(m_pipe) == 0)
            ::dup2(m_pipe[1], 2);
    }
    ~StderrCapture() { text(); }
    QString text()
    {
        if (m_saved >= 0) {
            std::fflush(stderr);
            ::dup2(m_saved, 2);
            ::close(m_saved);
            ::close(m_pipe[1]);
            m_saved = -1;
            char buf[4096];
            for (ssize_t n; (n = ::read(m_pipe[0], buf, sizeof buf)) > 0;)
                m_text += QString::fromLocal8Bit(buf, int(n));
            ::close(m_pipe[0]);
        }
        return m_text;
    }

private:
    int m_saved = -1;
    int m_pipe[2] = {-1, -1};
    QString m_text;
};

// The file size limit cuts writes short exactly as a full disk does.
void limitFileSize(rlim_t bytes)
{
    rlimit r{};
    ::getrlimit(RLIMIT_FSIZE, &r);
    r.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &r);
}
} // namespace

TEST_F(DiagnosticLogTest, AfterAFailedWriteTheNextLineStandsAloneInAFreshlyOpenedFile)
{
    std::signal(SIGXFSZ, SIG_IGN);
    const QString path = log.filePath();
    ASSERT_TRUE(log.writeLine(QStringLiteral("first")));
    StderrCapture err;
    limitFileSize(QFileInfo(path).size() + 10);
    EXPECT_FALSE(log.writeLine(QString(40, QLatin1Char('x')))); // 10 bytes land, and are taken back
    EXPECT_EQ(fileLines(path), QStringList{"first"});
    limitFileSize(RLIM_INFINITY);
    ASSERT_TRUE(log.writeLine(QStringLiteral("second")));
    EXPECT_EQ(fileLines(path), (QStringList{"first", "second"}));

    // Failing again, the file is moved away; the next line goes to the name, not the old file.
    limitFileSize(QFileInfo(path).size());
    EXPECT_FALSE(log.writeLine(QStringLiteral("lost")));
    limitFileSize(RLIM_INFINITY);
    ASSERT_TRUE(QFile::rename(path, path + QStringLiteral(".old")));
    ASSERT_TRUE(log.writeLine(QStringLiteral("third")));
    EXPECT_EQ(fileLines(path), QStringList{"third"});
    const QString notices = err.text();
    EXPECT_TRUE(notices.contains(QString::fromLocal8Bit(std::strerror(EFBIG)))) << notices.toStdString();
    EXPECT_FALSE(notices.contains(QStringLiteral("Unknown error")));
    std::signal(SIGXFSZ, SIG_DFL);
}

// A real full file system (a 64 KiB tmpfs): the line that no longer fits
// leaves nothing of itself, and once there is room again logging goes on.
TEST_F(DiagnosticLogTest, AFullDiskLeavesOnlyWholeLines)
{
    struct SmallDisk {
        QTemporaryDir dir;
        bool mounted = ::mount("tmpfs", QFile::encodeName(dir.path()).constData(), "tmpfs", 0, "size=64k") == 0;
        ~SmallDisk() { (void)::umount2(QFile::encodeName(dir.path()).constData(), MNT_DETACH); }
    } disk;
    ASSERT_TRUE(disk.mounted) << "mounting a tmpfs needs root: " << std::strerror(errno);
    QFile filler(disk.dir.filePath(QStringLiteral("filler")));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    filler.write(QByteArray(16 * 1024, 'f'));
    filler.close();
    log.openChosen(disk.dir.path());
    const QString path = log.filePath();
    const QString line = QString(188, QLatin1Char('w')); // 190 bytes with its CR LF: pages end inside lines
    StderrCapture err;
    int written = 0;
    while (written < 1000 && log.writeLine(line))
        ++written;
    ASSERT_LT(written, 1000) << "the disk never filled";
    EXPECT_EQ(QFileInfo(path).size(), written * 190);
    ASSERT_TRUE(filler.remove());
    ASSERT_TRUE(log.writeLine(QStringLiteral("after")));
    QStringList expected(written, line);
    expected << QStringLiteral("after");
    EXPECT_EQ(fileLines(path), expected);
    log.close();
    EXPECT_TRUE(err.text().contains(QString::fromLocal8Bit(std::strerror(ENOSPC))));
}
