// The station module's diagnostics category ("tarnwick.station"): enable with
// QT_LOGGING_RULES="tarnwick.station.debug=true".
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcStation)
