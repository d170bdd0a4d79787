#include "app/startup_credit.h"

#include "app/app.h"
#include "archive/archive.h"
#include "core/settings.h"
#include "safety/safety_watch.h"

void creditStartFromArchive(App &app, const Settings &settings)
{
    if (!app.archive || !app.safety)
        return;
    const SafetyRules rules = safetyRulesFrom(settings);
    const QDateTime start = QDateTime::currentDateTimeUtc();
    const QDateTime from = start.addSecs(-qint64(rules.safeDelayMinutes) * 60 - rules.staleAfterSeconds);
    app.safety->setStartupCredit(creditFromArchive(app.archive->observationsBetween(from, start), start, rules));
}
