// The notifications module's diagnostics category ("tarnwick.notify"): enable with
// QT_LOGGING_RULES="tarnwick.notify.debug=true".
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcNotify)
