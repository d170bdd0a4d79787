// The authentication's diagnostics category ("tarnwick.auth"): logins, logouts
// and refusals are told at the info level, never a password, hash or token.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcAuth)
