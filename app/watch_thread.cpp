#include "app/watch_thread.h"

#include "app/app.h"
#include "archive/archive.h"
#include "datafile/weather_data_file.h"
#include "alpaca/alpaca_server.h"
#include "app/automation_setup.h"
#include "app/control_setup.h"
#include "control/control_socket.h"
#include "mqtt/mqtt_publisher.h"
#include "notify/notifier.h"
#include "safety/safety_watch.h"
#include "station/board_simulator.h"
#include "station/serial_station_port.h"
#include "station/watch_model.h"
#include "upload/uploads.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

namespace {
// Every object of the watch with a thread of its own, moved from the thread
// that runs this: what listens to the watch or is driven by its cycles runs
// where the watch runs, the upload included (its window mirrors it).
void moveWatch(App &a, QThread *to)
{
    a.model->moveToThread(to);
    if (a.safety)
        a.safety->moveToThread(to);
    if (a.port)
        a.port->moveToThread(to);
    if (a.simulator)
        a.simulator->moveToThread(to);
    if (a.archive)
        a.archive->moveToThread(to);
    if (a.alpaca)
        a.alpaca->moveToThread(to);
    if (a.mqtt)
        a.mqtt->moveToThread(to);
    if (a.control && a.control->server)
        a.control->server->moveToThread(to);
    if (a.upload)
        a.upload->moveToThread(to);
    if (a.automation && a.automation->notifier)
        a.automation->notifier->moveToThread(to);
    if (a.automation && a.automation->dataFile)
        a.automation->dataFile->moveToThread(to);
}

// A running timer follows its object to another thread by a call queued
// there; at exit the window thread runs no more events, so the call and the
// timer list it carries would be lost. The watch is over by then: its timers
// stop, on its own thread, before it moves back.
void stopWatchTimers(App &a)
{
    const QObject *owners[] = {a.model.get(), a.safety.get(), a.simulator.get(), a.alpaca.get(), a.mqtt.get(), a.upload.get(),
                               a.automation ? a.automation->notifier.get() : nullptr,
                               a.automation ? a.automation->dataFile.get() : nullptr};
    for (const QObject *owner : owners) {
        if (!owner)
            continue;
        for (QTimer *timer : owner->findChildren<QTimer *>())
            timer->stop();
    }
}
} // namespace

void startWatchThread(App &a)
{
    if (a.watchThread || !a.model)
        return;
    a.watchThread = std::make_unique<QThread>();
    a.watchThread->setObjectName(QStringLiteral("watch"));
    moveWatch(a, a.watchThread.get());
    a.watchThread->start();
}

void stopWatchThread(App &a)
{
    if (!a.watchThread)
        return;
    QThread *home = QCoreApplication::instance()->thread();
    QMetaObject::invokeMethod(
        a.model.get(),
        [&a, home] {
            stopWatchTimers(a);
            moveWatch(a, home);
        },
        Qt::BlockingQueuedConnection);
    a.watchThread->quit();
    a.watchThread->wait();
    a.watchThread.reset();
}

void onWatchThread(App &a, const std::function<void()> &step)
{
    if (!a.watchThread || QThread::currentThread() == a.watchThread.get())
        step();
    else
        QMetaObject::invokeMethod(a.model.get(), step, Qt::BlockingQueuedConnection);
}

void onWindowThread(std::function<void()> step)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        step();
    else
        QMetaObject::invokeMethod(app, std::move(step), Qt::QueuedConnection);
}
