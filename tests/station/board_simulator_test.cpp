// The simulated board's protocol, and end to end: the simulator on a
// pseudo-terminal opened through the real serial port by the link.
#include "core/port_mapping.h"
#include "station/board_simulator.h"
#include "station/record_parser.h"
#include "station/serial_station_port.h"
#include "station_fixture.h"

#include <QElapsedTimer>
#include <chrono>
#include <cstdlib>
#include <sys/resource.h>
#include <thread>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

TEST(BoardProtocolTest, ProbePollAndCommands)
{
    BoardProtocol board;
    EXPECT_EQ(board.feed(QByteArray("#\x06"), 0), QByteArray("W"));
    EXPECT_TRUE(board.feed("pp", 0).isEmpty());
    const QString first = QString::fromLatin1(board.feed(":F", 1));
    ASSERT_TRUE(recordAccepted(first));
    EXPECT_EQ(first.size(), kRecordLength);
    EXPECT_EQ(readStartFlags(first).heaterAllowed, 0);

    board.feed(":AH1:AL1:AW1:AR0:Sr1", 0);
    const StartFlags f = readStartFlags(QString::fromLatin1(board.feed(":F", 1)));
    EXPECT_EQ(f.heaterAllowed, 1);
    EXPECT_EQ(f.lightAllowed, 1);
    EXPECT_EQ(f.windAllowed, 1);
    EXPECT_EQ(f.relayOn, 1); // forced on by ":Sr1"

    board.feed(":SW250:Sh15:ST125:SM12:Sd060", 0);
    board.feed(":", 0); // the next request ends the multiplier's digits
    EXPECT_EQ(board.thresholds().wind, 250);
    EXPECT_EQ(board.thresholds().hysteresisTenths, 15);
    EXPECT_EQ(board.thresholds().offsetTenths, 125);
    EXPECT_EQ(board.thresholds().windMultiplier, 12);
    EXPECT_EQ(board.thresholds().heaterOnTime, 60);
}

TEST(BoardProtocolTest, WeatherChangesSlowlyThroughADay)
{
    SimulatedWeather w(11);
    int minLight = 1023, maxLight = 0;
    double minCloud = 1, maxCloud = 0;
    double lastAmbient = w.ambientC();
    for (int s = 0; s < 3000; ++s) { // one simulated day and more
        w.advance(1);
        minLight = std::min(minLight, w.brightness());
        maxLight = std::max(maxLight, w.brightness());
        minCloud = std::min(minCloud, w.cloudCover());
        maxCloud = std::max(maxCloud, w.cloudCover());
        EXPECT_LT(std::abs(w.ambientC() - lastAmbient), 0.5);
        lastAmbient = w.ambientC();
    }
    EXPECT_LT(minLight, 300); // day
    EXPECT_GT(maxLight, 950); // night
    EXPECT_GT(maxCloud - minCloud, 0.3);
}

TEST(BoardProtocolTest, ForcedWeatherHoldsWhileTheRestIsSimulated)
{
    const WeatherForcing f = parseWeatherForcing("rain=1\n cloud = 7 \nwind=abc\nnoise\n");
    ASSERT_TRUE(f.rain && f.cloud);
    EXPECT_TRUE(*f.rain);
    EXPECT_EQ(*f.cloud, 1.0); // held to 0..1
    EXPECT_FALSE(f.wind);

    SimulatedWeather w(3);
    w.force(parseWeatherForcing("rain=1\ncloud=0\nwind=0"));
    for (int s = 0; s < 600; ++s) {
        w.advance(1);
        ASSERT_TRUE(w.raining());
        ASSERT_EQ(w.cloudCover(), 0);
        ASSERT_EQ(w.windSpeedCounts(), 0);
    }
    BoardReading r;
    w.fill(r);
    EXPECT_GT(r.rainCount, BoardProtocol::Thresholds{}.rain);
    EXPECT_EQ(r.windCount, 0);

    w.force(parseWeatherForcing("cloud=0")); // rain released: it dies away under a clear sky
    for (int s = 0; s < 600; ++s)
        w.advance(1);
    EXPECT_FALSE(w.raining());
}

// A raw pseudo-terminal whose far end is held open, as a board's would be.
struct RawPty {
    int master = -1, hold = -1;
    QString device;
    bool open()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
            return false;
        device = QString::fromLocal8Bit(::ptsname(master));
        hold = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
        termios tio{};
        if (hold < 0 || ::tcgetattr(hold, &tio) != 0)
            return false;
        ::cfmakeraw(&tio);
        return ::tcsetattr(hold, TCSANOW, &tio) == 0;
    }
    ~RawPty()
    {
        if (hold >= 0)
            ::close(hold);
        if (master >= 0)
            ::close(master);
    }
};

class SimulatorEndToEnd : public StationFixture {
protected:
    void SetUp() override
    {
        StationFixture::SetUp();
        ctx.pause = {}; // real waits: the port needs the event loop
    }
};

TEST_F(SimulatorEndToEnd, SearchAndCyclesOverThePseudoTerminal)
{
    BoardSimulator sim(5);
    ASSERT_TRUE(sim.start()) << qPrintable(sim.errorText());
    const QString device = sim.slavePath();
    SerialStationPort serial{[device](int) { return device; }};
    StationLink realLink(serial, ctx);
    StationCycle realCycle(realLink, ctx);

    realLink.boardSearch();
    EXPECT_EQ(messages, QStringList{"Looking for Weather serial on Com Port = 2\non " + device});
    ASSERT_TRUE(serial.connected());
    EXPECT_EQ(serial.deviceName(), sim.slavePath());
    EXPECT_NE(weather().StationRecord, kTestRecord);

    handBox.setCheckState(HandBoxField::AllowHeater, 1);
    for (int k = 0; k < 3; ++k)
        realCycle.run();
    EXPECT_EQ(readStartFlags(weather().StationRecord).heaterAllowed, 1);
    EXPECT_FALSE(field(HandBoxField::RH).isEmpty());
    EXPECT_FALSE(field(HandBoxField::Cloud_Sky).isEmpty());
    EXPECT_EQ(sim.protocol().thresholds().wind, settings().WindThreshold);
    EXPECT_EQ(messages.size(), 1);
}

TEST_F(SimulatorEndToEnd, MissingDeviceGivesTheMessageAndTheProgramGoesOn)
{
    SerialStationPort serial{[](int) { return QStringLiteral("/nonexistent/ttyTarnwick"); }};
    StationLink realLink(serial, ctx);
    StationCycle realCycle(realLink, ctx);
    realLink.boardSearch();
    EXPECT_TRUE(messages.last().startsWith(QStringLiteral(
        "Could not open Weather serial on Com Port = 2\ncannot open /nonexistent/ttyTarnwick: no such device")));
    EXPECT_TRUE(serial.errorText().contains(QStringLiteral("no such device")));
    realCycle.run();
    EXPECT_EQ(field(HandBoxField::RH), QStringLiteral("73"));
}

TEST_F(SimulatorEndToEnd, APortHeldByAnotherProgramIsNamedSoNotAPermissionProblem)
{
    BoardSimulator sim(5);
    ASSERT_TRUE(sim.start()) << qPrintable(sim.errorText());
    const QString device = sim.slavePath();
    SerialStationPort first{[device](int) { return device; }};
    ASSERT_EQ(first.connectPort(), PortResult::Ok);
    SerialStationPort second{[device](int) { return device; }};
    ASSERT_EQ(second.connectPort(), PortResult::PortError);
    EXPECT_TRUE(second.errorText().startsWith("in use by another program")) << qPrintable(second.errorText());
    EXPECT_FALSE(second.errorText().contains("dialout")) << qPrintable(second.errorText());
    first.disconnectPort();
    EXPECT_EQ(second.connectPort(), PortResult::Ok);
    // A device this user may not open gets the group advice.
    EXPECT_TRUE(openFailureReason(QSerialPort::PermissionError, "Permission denied", "/nonexistent/ttyS9").contains("dialout"));
}

TEST_F(SimulatorEndToEnd, EndlessNoiseOverflowsAndTheNextRecordIsRead)
{
    RawPty pty;
    ASSERT_TRUE(pty.open());
    const int master = pty.master;
    const QString device = pty.device;

    SerialStationPort serial{[device](int) { return device; }};
    serial.setPortNumber(2);
    serial.setReceiveTimeoutMs(500);
    ASSERT_EQ(serial.connectPort(), PortResult::Ok);
    const QByteArray noise(3000, 'x');
    ASSERT_EQ(::write(master, noise.constData(), noise.size()), noise.size());
    QString out;
    EXPECT_EQ(serial.receiveUntil(QStringLiteral("#"), out), PortResult::Overflow);
    serial.clearBuffers();
    const QByteArray record = kTestRecord.toLatin1();
    ASSERT_EQ(::write(master, record.constData(), record.size()), record.size());
    EXPECT_EQ(serial.receiveUntil(QStringLiteral("#"), out), PortResult::Ok);
    EXPECT_EQ(out, kTestRecord);

    QElapsedTimer t;
    t.start();
    EXPECT_EQ(serial.receive(1, out), PortResult::TimedOut);
    EXPECT_GE(t.elapsed(), 450);
    serial.disconnectPort();
}

namespace {
// Voluntary context switches of the calling thread: how often it slept and was woken.
long threadWakeUps()
{
    rusage u{};
    ::getrusage(RUSAGE_THREAD, &u);
    return u.ru_nvcsw;
}
} // namespace

TEST_F(SimulatorEndToEnd, RecordSentByteByByteAt9600BaudIsReadInOneWait)
{
    RawPty pty;
    ASSERT_TRUE(pty.open());
    const int master = pty.master;
    const QString device = pty.device;
    SerialStationPort serial{[device](int) { return device; }};
    serial.setReceiveTimeoutMs(2000);
    ASSERT_EQ(serial.connectPort(), PortResult::Ok);

    // A UART at 9600 baud: one character every 1.04 ms.
    auto paced = [master](const QByteArray &bytes) {
        return std::thread([master, bytes] {
            for (char c : bytes) {
                if (::write(master, &c, 1) != 1)
                    return;
                std::this_thread::sleep_for(std::chrono::microseconds(1042));
            }
        });
    };
    const QByteArray record = kTestRecord.toLatin1();
    QString out;
    // The first record teaches the port the answer's length.
    std::thread sender = paced(record);
    EXPECT_EQ(serial.receiveUntil(QStringLiteral("#"), out), PortResult::Ok);
    sender.join();
    EXPECT_EQ(out, kTestRecord);
    EXPECT_FALSE(serial.watchingDevice()); // the next record does not wake the caller's waits

    for (int k = 0; k < 3; ++k) {
        const long before = threadWakeUps();
        QElapsedTimer t;
        t.start();
        sender = paced(record);
        std::this_thread::sleep_for(std::chrono::milliseconds(30)); // the caller's wait after the poll
        EXPECT_EQ(serial.receiveUntil(QStringLiteral("#"), out), PortResult::Ok);
        const qint64 took = t.elapsed();
        const long wakeUps = threadWakeUps() - before;
        sender.join();
        EXPECT_EQ(out, kTestRecord);
        EXPECT_LE(wakeUps, 10) << "woken for each character"; // about 75 when watched throughout
        EXPECT_LT(took, 300) << "the last character is read as it arrives";
    }

    // A shorter answer than the last is read once its time is up, not at the time-out.
    QElapsedTimer t;
    t.start();
    sender = paced("short#");
    EXPECT_EQ(serial.receiveUntil(QStringLiteral("#"), out), PortResult::Ok);
    sender.join();
    EXPECT_EQ(out, QStringLiteral("short#"));
    EXPECT_LT(t.elapsed(), 400);
    serial.disconnectPort();
}
