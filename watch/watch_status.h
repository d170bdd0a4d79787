// The weather watch as the outside sees it: the last observation, the last
// live one, the board's state and the safety verdict. Made by the composition
// root from the station cycle, the board and the safety monitor; read by the
// devices for clients, the archive, the web page and the feeds.
#pragma once

#include "watch/board_state.h"
#include "watch/observation.h"

#include <QList>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

struct UnsafeCondition {
    QString name;   // "rain", "clouds", "wind", "daylight", "board"
    QString text;   // in words, for people
    QDateTime since; // UTC
    friend bool operator==(const UnsafeCondition &, const UnsafeCondition &) = default;
};

struct SafetyVerdict {
    bool known = false; // false until a monitor has judged
    bool safe = false;
    QList<UnsafeCondition> unsafe; // empty when safe
    QDateTime changed;             // UTC time of the last change of verdict
    // Two verdicts tell a listener the same thing.
    friend bool operator==(const SafetyVerdict &, const SafetyVerdict &) = default;
};

struct WatchStatus {
    std::optional<Observation> latest;   // the last processed observation, any source
    std::optional<Observation> lastLive; // the last one from a board that delivers readings
    BoardStatus board;
    SafetyVerdict safety;
};

// What is wrong with the board for anything that judges or sends readings:
// empty while it delivers readings and its last record is younger than
// staleAfterSeconds; otherwise a sentence for people ("The board is lost (No
// such device)", "No reading from the board yet", "No reading from the board
// for more than 30 s").
QString boardProblem(const WatchStatus &status, const QDateTime &nowUtc, int staleAfterSeconds);

// The last live observation while its readings may be taken as readings of
// now: the board delivers readings and the observation is younger than
// staleAfterSeconds. Null otherwise, also for the moments after a lost board
// is found again and before its first new record is processed.
const Observation *currentObservation(const WatchStatus &status, const QDateTime &nowUtc, int staleAfterSeconds);
// The current observation's readings; none when there is no current one.
Readings currentReadings(const WatchStatus &status, const QDateTime &nowUtc, int staleAfterSeconds);

class WatchFeed {
public:
    enum class Change { Observation, Board, Safety };
    using Listener = std::function<void(const WatchStatus &, Change)>;
    // Gives the verdict on a status; it is asked before anyone hears of a new
    // observation or board state, so every listener sees the verdict judged
    // on the status it is told about.
    using Judge = std::function<SafetyVerdict(const WatchStatus &)>;

    const WatchStatus &status() const { return m_status; }
    // Listeners run in the order added, after the status holds the change and
    // its verdict; a changed verdict is told as a Safety change right after.
    // The id lets a listener that goes before the feed stop listening.
    using ListenerId = quint64;
    ListenerId listen(Listener listener);
    // Safe from within a listener: a removed one is not called again.
    void unlisten(ListenerId id);
    void setJudge(Judge judge) { m_judge = std::move(judge); }

    void publish(const Observation &o);
    void setBoard(const BoardStatus &board);
    void setSafety(const SafetyVerdict &safety);

private:
    void tell(Change change);
    void judgeAndTell(Change change);

    WatchStatus m_status;
    std::deque<std::pair<ListenerId, Listener>> m_listeners;
    ListenerId m_nextId = 1;
    int m_telling = 0; // nesting depth of tell(): removal then only blanks
    Judge m_judge;
};
