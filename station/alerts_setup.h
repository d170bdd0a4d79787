// Start-up wiring of the alerts and the diagnostic log.
#pragma once

class AlertEngine;
class DiagnosticLog;

// Installs the alert evaluator (real wave player and program launcher) and sets
// prog().openLog, prog().writeLogLine and prog().closeLog.
void installAlertsAndLog();

// The installed objects (for tests and diagnostics); null before installation.
AlertEngine *installedAlertEngine();
DiagnosticLog *installedDiagnosticLog();
