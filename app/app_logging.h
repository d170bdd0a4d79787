// Start-up's and shutdown's diagnostics category ("tarnwick.app").
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcApp)
