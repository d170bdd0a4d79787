#include "core/wait.h"

#include <QAbstractEventDispatcher>
#include <QBasicTimer>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

namespace {
WaitEnd pump(const std::function<bool()> &done, int timeoutMs, QEventLoop::ProcessEventsFlags flags,
             const WaitWake *wake)
{
    if (done())
        return WaitEnd::Done;
    if (!QCoreApplication::instance())
        return WaitEnd::TimedOut;
    if (timeoutMs <= 0) {
        QCoreApplication::processEvents(flags);
        return done() ? WaitEnd::Done : WaitEnd::TimedOut;
    }
    // Nested loops: events are delivered while the thread otherwise sleeps.
    const QDeadlineTimer deadline(timeoutMs, Qt::PreciseTimer);
    while (!done()) {
        if (deadline.hasExpired())
            return WaitEnd::TimedOut;
        QEventLoop loop;
        QTimer::singleShot(std::max<qint64>(1, deadline.remainingTime()), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        // Whatever the loop delivered may have brought the end: look before it sleeps again.
        if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance())
            QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, &loop, [&] {
                if (done())
                    loop.quit();
            });
        if (wake)
            QObject::connect(wake, &WaitWake::woke, &loop, &QEventLoop::quit);
        if (loop.exec(flags) < 0)
            return done() ? WaitEnd::Done : WaitEnd::Quitting;
    }
    return WaitEnd::Done;
}
} // namespace

void WaitWake::wake()
{
    m_woken = true;
    emit woke();
}

WaitEnd waitUntil(const std::function<bool()> &done, int timeoutMs, QEventLoop::ProcessEventsFlags flags)
{
    return pump(done, timeoutMs, flags, nullptr);
}

WaitEnd waitUntil(WaitWake &wake, int timeoutMs, QEventLoop::ProcessEventsFlags flags)
{
    return pump([&wake] { return wake.woken(); }, timeoutMs, flags, &wake);
}

void Wait(int ms)
{
    if (ms <= 0 || !QCoreApplication::instance()) {
        waitUntil([] { return false; }, ms);
        return;
    }
    // Nothing can end this wait early: no loop object, single-shot timer or
    // connection of its own (the station pauses three times a second), only
    // a timer whose event ends the pass in which it falls due.
    const QDeadlineTimer deadline(ms, Qt::PreciseTimer);
    QObject waker;
    QBasicTimer due;
    due.start(ms, Qt::PreciseTimer, &waker);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}
