// The wait after a start. Readings only begin to arrive after a (re)start, so
// the verdict waits SafeDelayMinutes from the first live reading, unless the
// archive shows the sky safe and watched right up to the start: then the first
// safe live reading is enough.
#pragma once

#include "watch/board_state.h"
#include "watch/watch_status.h"

#include <QDateTime>
#include <optional>
#include <vector>

struct ArchivedObservation;
struct SafetyRules;

// What the archive vouches for: safe readings from a board that delivered,
// without a gap, for SafeDelayMinutes up to lastSafe.
struct StartupCredit {
    QDateTime lastSafe; // UTC of the newest archived reading
    BoardState board = BoardState::Live;
};

// rows: the archived readings before startUtc, oldest first. A credit only when
// the newest is younger than StaleAfterSeconds at the start and the rows, safe
// and never further apart than StaleAfterSeconds, span SafeDelayMinutes.
std::optional<StartupCredit> creditFromArchive(const std::vector<ArchivedObservation> &rows,
                                               const QDateTime &startUtc, const SafetyRules &rules);

class StartupWait {
public:
    void setCredit(std::optional<StartupCredit> credit) { m_credit = std::move(credit); }

    // Told every judgement whether the board's condition holds. True once: at
    // the first judgement that has a fresh reading.
    bool firstReading(bool boardHeld, const WatchStatus &status, const QDateTime &nowUtc, const SafetyRules &rules);
    // The wait as an unsafe condition named "startup", while it lasts.
    std::optional<UnsafeCondition> holding(const QDateTime &nowUtc, const SafetyRules &rules);

private:
    std::optional<StartupCredit> m_credit;
    QDateTime m_start;        // the first judgement
    QDateTime m_firstReading; // invalid until a fresh reading was judged
    bool m_over = false;      // credited, or waited out: never again this run
    QDateTime m_textUntil;    // the end the text below was made for
    QString m_text;
};
