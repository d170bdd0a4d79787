// The safety verdict as pure logic: which conditions hold for a watch status
// at a given time, and the rule that makes the verdict unsafe at once but safe
// again only after every condition has stayed away for the delay.
#pragma once

#include "watch/watch_status.h"
#include "safety/startup_wait.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <vector>

struct Settings;

struct SafetyRules {
    int staleAfterSeconds = 30;
    int safeDelayMinutes = 10;
    double windLimit = 17; // window average, station units (mph)
    bool unsafeWhenPartlyCloudy = false;
    bool unsafeWhenOvercast = true;
    bool unsafeInDaylight = true;
};

SafetyRules safetyRulesFrom(const Settings &settings);

// What the running watch reads at every judgement: the rules, and the
// programs it starts on a turn.
struct SafetyWatchOptions {
    SafetyRules rules;
    QString safeProgram;
    QString unsafeProgram;
};
SafetyWatchOptions safetyWatchOptionsFrom(const Settings &settings);

struct HeldCondition {
    QString name; // "board", "rain", "clouds", "wind", "daylight"
    QString text;
};

// What is unsafe about this status now. While the board delivers nothing fresh
// only "board" is reported: the weather is then unknown, not fine.
QList<HeldCondition> conditionsNow(const WatchStatus &status, const SafetyRules &rules, const QDateTime &nowUtc);

class SafetyMonitor {
public:
    // Judges the status at nowUtc; the returned verdict is also kept.
    const SafetyVerdict &judge(const WatchStatus &status, const SafetyRules &rules, const QDateTime &nowUtc);
    const SafetyVerdict &verdict() const { return m_verdict; }
    // What the archive says about the minutes before this start.
    void setStartupCredit(std::optional<StartupCredit> credit) { m_startup.setCredit(std::move(credit)); }

private:
    struct Tracked {
        QString name;
        QString text;
        QDateTime since;    // when this episode began
        QDateTime lastHeld; // the last judgement that saw it
        // "(ended ...)" as made for lastHeld and the delay: judged twice a
        // second, the same words need not be formatted again each time.
        QString endedNote;
        QDateTime noteHeld;
        int noteDelay = -1;
    };
    std::vector<Tracked> m_tracked; // in the order conditions are checked
    SafetyVerdict m_verdict;
    StartupWait m_startup;
};
