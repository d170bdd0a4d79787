// The conversation with the sensor board: the start-up search, the command
// step that passes queued requests and changed settings, the poll for one
// record, and the board's state with the tries at a board that went away.
// One user of the port at a time: whoever holds a PortUse owns it.
#pragma once

#include "core/reentry_guard.h"
#include "station/board_commands.h"
#include "station/board_tracker.h"
#include "station/station_context.h"
#include "station/station_port.h"

class StationLink {
public:
    // Bad answers tolerated per poll before giving up on this cycle.
    static constexpr int kMaxPolls = 5;

    StationLink(StationPort &port, const StationContext &context);

    // Start-up: messages, open, probe, first record, hand box boxes from its flags.
    void boardSearch();

    // The sends of one cycle. False when the port failed: the cycle ends there.
    bool commandStep();

    enum class PollResult {
        Accepted, // StationRecord holds the fresh record
        Rejected, // an answer without "#" at 106: dropped
        Failed    // nothing usable arrived (time-out, port fault); StationRecord kept
    };
    // Sends the poll and reads one answer; only an accepted one replaces StationRecord.
    PollResult poll();

    bool connected() const { return m_port.connected(); }

    // The board's state; each new one also goes to the context's boardChanged.
    const BoardStatus &board() const { return m_tracker.status(); }
    // When a board that delivers nothing is tried next (UTC); invalid while none is due.
    QDateTime nextBoardTry() const { return m_backoff.next(); }
    // Records from the built-in simulator make the state simulated, not live.
    void setSimulated(bool on) { m_tracker.setSimulated(on); }
    // Each cycle, before its command step, with the port in hand: silent after
    // StaleAfterSeconds without a record; from lost, silent or absent, one more
    // try at the board (reopen, probe, first record) when the back-off allows.
    void superviseBoard();
    // The setup dialog's OK: a newly chosen device, or the same one while no
    // board delivers, is tried on the next cycle.
    void deviceChoiceConfirmed();

    // Marks the port as in use for its lifetime; a tick that finds it in use skips.
    class PortUse {
    public:
        explicit PortUse(StationLink &link) : m_guard(link.m_busy) {}
        // False when the port was already in use: the caller turns back.
        bool active() const { return m_guard.active(); }

    private:
        ReentryGuard m_guard;
    };

    const SentSettings &sentSettings() const { return m_sent; }

private:
    enum class SearchOutcome { Found, NotFound, NoAnswer, OpenFailed };
    SearchOutcome searchOnPort(const QString &portText);
    // Opens the port and probes; m_probeReason says what went wrong.
    SearchOutcome openAndProbe();
    // Polls for the first record; the record in hand stands in when none comes.
    void firstRecord();
    void tryBoardAgain();
    void portLost();
    void onBoardStatus(const BoardStatus &status, bool stateChanged);
    bool send(const Request &request);
    void applyStartFlags();
    // After a reconnect: every setting and switch request goes to the board again.
    void resendEverything();

    QString comPortText() const;
    QDateTime now() const;

    StationPort &m_port;
    const StationContext &m_ctx; // outlives the link and the cycle
    SentSettings m_sent;
    BoardTracker m_tracker;
    ReconnectBackoff m_backoff;
    QString m_probeReason;
    bool m_retryNow = false;
    bool m_busy = false;
};
