// Waiting without stopping the program: the thread sleeps in the event loop,
// so window, socket, timer and automation events go on being delivered while
// a routine waits for time to pass or for something to happen. (The station
// takes its pauses through its context, where tests put a clock.)
#pragma once

#include <QEventLoop>
#include <QObject>
#include <functional>

// How a wait ended. Quitting: the application is on its way out and its event
// loops no longer run, so waiting on would only spin.
enum class WaitEnd { Done, TimedOut, Quitting };

// Ends a waitUntil early: connect the signals that should end it to wake().
// It stays woken until reset(), so a signal that came just before the wait
// began is not lost.
class WaitWake : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    bool woken() const { return m_woken; }
    void reset() { m_woken = false; }

public slots:
    void wake();

signals:
    void woke();

private:
    bool m_woken = false;
};

// Delivers events until done() holds or timeoutMs have passed. done() is
// looked at first, each time the loop has delivered what was pending, and at
// the end, so it must be cheap and safe to call at any moment. flags go to
// the loop: QEventLoop::ExcludeUserInputEvents holds mouse and keys back.
WaitEnd waitUntil(const std::function<bool()> &done, int timeoutMs,
                  QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents);
// The same, ended by wake.
WaitEnd waitUntil(WaitWake &wake, int timeoutMs, QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents);

// Returns after at least ms milliseconds (a wait for something that never happens).
void Wait(int ms);
