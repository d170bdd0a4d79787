// The archive module's diagnostics category ("tarnwick.archive"): enable with
// QT_LOGGING_RULES="tarnwick.archive.debug=true".
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcArchive)
