// What the program knows about the weather board it reads: whether records
// arrive, from which device, and since when. Every consumer that sends data out
// (upload, log, devices for clients, the archive, feeds) asks this first.
#pragma once

#include <QDateTime>
#include <QString>

enum class BoardState {
    Searching, // start-up search or a reconnect attempt under way
    Live,      // records arrive and are accepted
    Silent,    // the device is open, but no record was accepted for StaleAfterSeconds
    Lost,      // the device went away or failed with an I/O error
    Absent,    // no board found at start-up; the built-in test record is shown
    Simulated  // the built-in board simulator answers
};

// "searching", "live", "silent", "lost", "absent", "simulated": the words of
// feeds, JSON and the log.
QString boardStateName(BoardState state);

// Records from this state are real readings (the simulator's are, for trying
// the program out).
inline bool deliversReadings(BoardState state)
{
    return state == BoardState::Live || state == BoardState::Simulated;
}

struct BoardStatus {
    BoardState state = BoardState::Searching;
    QString device;       // the path as resolved when last opened, e.g. /dev/ttyUSB0
    QString reason;       // the OS reason or the probe result behind the last change
    QDateTime since;      // UTC time of the last change of state
    QDateTime lastRecord; // UTC time of the last accepted live record, invalid before the first
};

// The board's last accepted record is younger than staleAfterSeconds at nowUtc
// (the board counts as silent from that age on). Whether readings are current
// is judged on the observation instead: currentObservation (watch_status.h).
bool recordFresh(const BoardStatus &board, const QDateTime &nowUtc, int staleAfterSeconds);
