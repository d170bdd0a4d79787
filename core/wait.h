// Waiting without stopping the program: the thread sleeps in the event loop,
// so window, socket, timer and automation events go on being delivered while
// a routine waits for time to pass or for something to happen. Tests may
// replace the waiting with a clock that does not pump.
#pragma once

#include <QEventLoop>
#include <QObject>
#include <concepts>
#include <cstddef>
#include <functional>
#include <type_traits>
#include <utility>

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

// A replacement for all waiting, for tests. Either a clock, called with the
// milliseconds each wait may take (done() is looked at once it returns), or
// the whole wait, called with done() and the time-out and saying how it ended.
class WaitHandler {
public:
    using Whole = std::function<WaitEnd(const std::function<bool()> &done, int timeoutMs)>;

    WaitHandler() = default;
    WaitHandler(std::nullptr_t) {}
    template <typename Clock>
        requires std::invocable<Clock &, int>
    WaitHandler(Clock clock)
        : m_whole([clock = std::move(clock)](const std::function<bool()> &done, int ms) mutable {
            clock(ms);
            return done() ? WaitEnd::Done : WaitEnd::TimedOut;
        })
    {
    }
    template <typename F>
        requires std::is_invocable_r_v<WaitEnd, F &, const std::function<bool()> &, int>
    WaitHandler(F whole) : m_whole(std::move(whole))
    {
    }

    explicit operator bool() const { return bool(m_whole); }
    WaitEnd operator()(const std::function<bool()> &done, int timeoutMs) const { return m_whole(done, timeoutMs); }

private:
    Whole m_whole;
};

// Installs a replacement (empty restores the real wait); returns the previous one.
WaitHandler setWaitHandler(WaitHandler handler);
