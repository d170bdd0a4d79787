#include "station/alerts_setup.h"

#include "core/hand_box_api.h"
#include "core/program.h"
#include "station/alert_engine.h"
#include "station/diagnostic_log.h"

#include <memory>

namespace {

struct Installed {
    WaveFilePlayer player;
    DetachedLauncher launcher;
    AlertEngine engine{player, launcher};
    DiagnosticLog log;
};

std::unique_ptr<Installed> &installed()
{
    static std::unique_ptr<Installed> i;
    return i;
}

} // namespace

AlertEngine *installedAlertEngine()
{
    return installed() ? &installed()->engine : nullptr;
}

DiagnosticLog *installedDiagnosticLog()
{
    return installed() ? &installed()->log : nullptr;
}

void installAlertsAndLog()
{
    installed() = std::make_unique<Installed>();
    Installed *i = installed().get();

    setAlertHandler([i](AlertKind kind, bool holds) { i->engine.evaluate(kind, holds); });

    Program &p = prog();
    p.openLog = [i] {
        const QString folder = prog().logDir.isEmpty() ? DiagnosticLog::defaultFolder() : prog().logDir;
        i->log.open(folder, DiagnosticLog::fallbackFolder());
    };
    p.writeLogLine = [i] {
        // Never throws: the log must not disturb the station cycle.
        try {
            HandBoxApi *hb = prog().handBox;
            const FieldReader field = [hb](const QString &control) {
                return hb ? hb->fieldText(control) : QString();
            };
            i->log.writeLine(diagnosticLogLine(prog().weather, field, QDateTime::currentDateTime()));
        } catch (...) {
        }
    };
    p.closeLog = [i] { i->log.close(); };
}
