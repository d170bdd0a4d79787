// The weather watch as the outside sees it: the last observation, the last
// live one, the board's state and the safety verdict. Made by the composition
// root from the station cycle, the board and the safety monitor; read by the
// devices for clients, the archive, the web page and the feeds.
#pragma once

#include "core/board_state.h"
#include "core/observation.h"

#include <QList>
#include <functional>
#include <optional>
#include <vector>

struct UnsafeCondition {
    QString name;   // "rain", "clouds", "wind", "daylight", "board"
    QString text;   // in words, for people
    QDateTime since; // UTC
};

struct SafetyVerdict {
    bool known = false; // false until a monitor has judged
    bool safe = false;
    QList<UnsafeCondition> unsafe; // empty when safe
    QDateTime changed;             // UTC time of the last change of verdict
};

struct WatchStatus {
    std::optional<Observation> latest;   // the last processed observation, any source
    std::optional<Observation> lastLive; // the last one from a board that delivers readings
    BoardStatus board;
    SafetyVerdict safety;
};

class WatchFeed {
public:
    enum class Change { Observation, Board, Safety };
    using Listener = std::function<void(const WatchStatus &, Change)>;

    const WatchStatus &status() const { return m_status; }
    // Listeners run in the order added, after the status holds the change.
    void listen(Listener listener) { m_listeners.push_back(std::move(listener)); }

    void publish(const Observation &o);
    void setBoard(const BoardStatus &board);
    void setSafety(const SafetyVerdict &safety);

private:
    void tell(Change change);

    WatchStatus m_status;
    std::vector<Listener> m_listeners;
};
