// The upload module's diagnostics category ("tarnwick.upload"): enable with
// QT_LOGGING_RULES="tarnwick.upload.debug=true".
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcUpload)
