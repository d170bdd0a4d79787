// The web routes module's diagnostics category ("tarnwick.web"): enable with
// QT_LOGGING_RULES="tarnwick.web.debug=true".
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcWeb)
