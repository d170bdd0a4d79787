// Thousands of random and garbled answers through the whole cycle, and random
// byte streams through the simulated board: no crash, no hang, no growth.
#include "station/board_simulator.h"
#include "station/record_parser.h"
#include "station_fixture.h"

#include <QFile>
#include <QRandomGenerator>

namespace {
long residentKb()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toLong() * 4 : 0;
}

// Random answers the way a port hands them out: cut after the first "#".
QString garbledAnswer(QRandomGenerator &rng)
{
    QString s;
    switch (rng.bounded(4)) {
    case 0: { // the test record with a few characters changed
        s = kTestRecord;
        const int changes = 1 + rng.bounded(4);
        for (int k = 0; k < changes; ++k)
            s[rng.bounded(int(s.size()))] = QChar(char(32 + rng.bounded(95)));
        break;
    }
    case 1: { // printable noise of any length up to two records
        const int n = rng.bounded(220);
        for (int k = 0; k < n; ++k)
            s += QChar(char(32 + rng.bounded(95)));
        break;
    }
    case 2: { // raw bytes, controls and high characters included
        const int n = rng.bounded(200);
        for (int k = 0; k < n; ++k)
            s += QChar(ushort(rng.bounded(256)));
        break;
    }
    default: // digits in every value but extremes in the numbers
        s = kTestRecord;
        s.replace(37, 6, rng.bounded(2) ? QStringLiteral("-99999") : QStringLiteral("+99999"));
        s.replace(4, 4, QString::number(rng.bounded(10000)).rightJustified(4, QLatin1Char('0')));
        break;
    }
    const qsizetype hash = s.indexOf(QLatin1Char('#'));
    return hash >= 0 ? s.left(hash + 1) : s;
}
} // namespace

using Fuzz = StationFixture;

TEST_F(Fuzz, GarbledAnswersThroughTheCycle)
{
    QRandomGenerator rng(20261207);
    port.isOpen = true;
    settings().WindsAvgCnt = 7;
    settings().TempsAvgCount = 3;
    auto batch = [&](int cycles) {
        for (int c = 0; c < cycles; ++c) {
            for (int k = 0; k < 3; ++k) {
                const int kind = rng.bounded(10);
                if (kind == 0)
                    port.answers.push_back({PortResult::TimedOut, QString()});
                else if (kind == 1)
                    port.answers.push_back({PortResult::Overflow, QString()});
                else
                    port.answers.push_back({PortResult::Ok, garbledAnswer(rng)});
            }
            weather().TempEnabled = rng.bounded(20) != 0;
            cycle.run();
            port.answers.clear();
            port.clearLog();
            waits.clear();
            alerts.clear();
        }
    };
    batch(2000);
    const long before = residentKb();
    batch(8000);
    EXPECT_LT(residentKb() - before, 1024);
    EXPECT_TRUE(recordAccepted(weather().StationRecord));
    EXPECT_GE(weather().WindSampleIndex, 1);
    EXPECT_LE(weather().WindSampleIndex, 7);
    EXPECT_LE(weather().TempSampleIndex, 3);
}

TEST(FuzzBoard, RandomBytesIntoTheSimulatedBoard)
{
    QRandomGenerator rng(7);
    BoardProtocol board(3);
    const QByteArray alphabet(":FASHhrTWRLCMd0123456789#p\x06-x");
    qsizetype maxReply = 0;
    for (int k = 0; k < 20000; ++k) {
        QByteArray chunk;
        const int n = 1 + rng.bounded(12);
        for (int i = 0; i < n; ++i)
            chunk += rng.bounded(4) ? alphabet[rng.bounded(int(alphabet.size()))] : char(rng.bounded(256));
        const QByteArray reply = board.feed(chunk, 0.5);
        maxReply = std::max(maxReply, reply.size());
        // Every reply is probe answers and whole records.
        for (const QByteArray &part : reply.split('#')) {
            const QByteArray rest = QByteArray(part).replace("W", "");
            EXPECT_TRUE(part.isEmpty() || rest.isEmpty() || part.size() >= 105) << part.constData();
        }
    }
    EXPECT_LE(maxReply, 12 * 106);
}
