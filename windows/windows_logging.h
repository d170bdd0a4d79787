// The windows' diagnostics category ("tarnwick.windows").
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcWindows)
