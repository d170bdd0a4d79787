// The board's state as the station link meets it (searching, live, silent,
// lost, absent, simulated), with the times of its changes, and the back-off
// between tries at a board that is not delivering records.
#pragma once

#include "watch/board_state.h"

#include <functional>

class BoardTracker {
public:
    using Clock = std::function<QDateTime()>;
    // Told every new status; `stateChanged` is false when only the device or
    // the reason changed.
    using Listener = std::function<void(const BoardStatus &, bool stateChanged)>;

    BoardTracker(Clock clock, Listener listener);

    const BoardStatus &status() const { return m_status; }
    BoardState state() const { return m_status.state; }

    // The built-in simulator answers: its records make the state simulated, not live.
    void setSimulated(bool on) { m_simulated = on; }

    // Enters a state with the device and the reason behind it.
    void enter(BoardState state, const QString &device, const QString &reason);
    // A record was accepted from the device: live (or simulated) from now.
    void recordAccepted(const QString &device);
    // Seconds since the last accepted record, or since the state began when
    // none was accepted in it.
    qint64 secondsWithoutRecord() const;

private:
    QDateTime now() const { return m_clock ? m_clock() : QDateTime::currentDateTimeUtc(); }

    Clock m_clock;
    Listener m_listener;
    BoardStatus m_status;
    bool m_simulated = false;
};

// Tries at the board from lost, silent or absent: the first one second after
// the state began, then twice the previous delay, at most 30 s apart.
class ReconnectBackoff {
public:
    static constexpr int kFirstSeconds = 1;
    static constexpr int kMaxSeconds = 30;

    void start(const QDateTime &now);
    void failed(const QDateTime &now);
    bool due(const QDateTime &now) const { return m_next.isValid() && now >= m_next; }
    void stop() { m_next = QDateTime(); }
    bool running() const { return m_next.isValid(); }
    QDateTime next() const { return m_next; } // invalid while not running
    int delaySeconds() const { return m_delay; }

private:
    QDateTime m_next;
    int m_delay = kFirstSeconds;
};
