// The HTTP endpoint module's diagnostics category ("tarnwick.alpaca"): enable with
// QT_LOGGING_RULES="tarnwick.alpaca.debug=true".
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcAlpaca)
