// The conversation with the sensor board: the start-up search, the command
// step that passes queued requests and changed settings, and the poll for one
// record. One user of the port at a time: whoever holds a PortUse owns it.
#pragma once

#include "core/reentry_guard.h"
#include "station/board_commands.h"
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
    enum class SearchOutcome { Found, NotFound, OpenFailed };
    SearchOutcome searchOnPort(const QString &portText);
    bool send(const Request &request);
    void applyStartFlags();

    QString comPortText() const;

    StationPort &m_port;
    const StationContext &m_ctx; // outlives the link and the cycle
    SentSettings m_sent;
    bool m_busy = false;
};
