#include "core/wait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace {
WaitHandler &handler()
{
    static WaitHandler h;
    return h;
}
} // namespace

void Wait(int ms)
{
    if (handler()) {
        handler()(ms);
        return;
    }
    if (ms <= 0 || !QCoreApplication::instance()) {
        if (QCoreApplication::instance())
            QCoreApplication::processEvents();
        return;
    }
    // A nested loop: events are delivered while the thread otherwise sleeps.
    const QDeadlineTimer deadline(ms, Qt::PreciseTimer);
    while (!deadline.hasExpired()) {
        QEventLoop loop;
        QTimer::singleShot(std::max<qint64>(1, deadline.remainingTime()), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        if (loop.exec() < 0)
            break; // the application is quitting
    }
}

WaitHandler setWaitHandler(WaitHandler h)
{
    WaitHandler old = std::move(handler());
    handler() = std::move(h);
    return old;
}
