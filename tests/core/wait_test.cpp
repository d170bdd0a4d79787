// waitUntil: ends early when its condition comes true or its wake rings, keeps
// delivering events until the time is up, stops when the application quits,
// and hands the whole wait to an installed handler.
#include "core/wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

bool never()
{
    return false;
}

} // namespace

TEST(WaitUntil, ConditionSetByATimerEndsTheWaitEarly)
{
    bool set = false;
    QTimer::singleShot(20, [&] { set = true; });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(waitUntil([&] { return set; }, 2000), WaitEnd::Done);
    EXPECT_LT(clock.elapsed(), 1000); // not held until the time-out
}

TEST(WaitUntil, TimesOutDeliveringEventsMeanwhile)
{
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(5);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(waitUntil(never, 40), WaitEnd::TimedOut);
    EXPECT_GE(clock.elapsed(), 40);
    EXPECT_GE(ticks, 2);
}

TEST(WaitUntil, WakeEndsTheWaitAndIsNotLostWhenItComesFirst)
{
    WaitWake wake;
    QTimer::singleShot(20, &wake, &WaitWake::wake);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(waitUntil(wake, 2000), WaitEnd::Done);
    EXPECT_LT(clock.elapsed(), 1000);

    // Still woken: a second wait on it takes no time; reset() re-arms it.
    clock.restart();
    EXPECT_EQ(waitUntil(wake, 2000), WaitEnd::Done);
    EXPECT_LT(clock.elapsed(), 1000);
    wake.reset();
    EXPECT_EQ(waitUntil(wake, 10), WaitEnd::TimedOut);
}

TEST(WaitUntil, QuitDuringAWaitEndsIt)
{
    QTimer::singleShot(10, [] { QCoreApplication::exit(0); });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(waitUntil(never, 2000), WaitEnd::Quitting);
    EXPECT_LT(clock.elapsed(), 1000);
    // The application's own loop clears the quit again for the tests that follow.
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

TEST(Wait, DeliversEventsMeanwhileAndReturnsAfterItsTime)
{
    int delivered = 0;
    QTimer::singleShot(10, [&] {
        ++delivered;
        Wait(5); // a pause inside one: the outer goes on after it
        ++delivered;
    });
    QMetaObject::invokeMethod(QCoreApplication::instance(), [&] { ++delivered; }, Qt::QueuedConnection);
    QElapsedTimer clock;
    clock.start();
    Wait(60);
    EXPECT_GE(clock.elapsed(), 60);
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(delivered, 3);

    // Asked to quit meanwhile, it still ends on time rather than spinning or hanging.
    QTimer::singleShot(5, [] { QCoreApplication::exit(0); });
    clock.restart();
    Wait(30);
    EXPECT_LT(clock.elapsed(), 1000);
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}
