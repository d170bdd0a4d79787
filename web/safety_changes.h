// "/tarnwick/v1/safety-changes": the last changes of the safety verdict in the
// archive, newest first, each with what made it unsafe or what held it before.
#pragma once

#include "core/http_route.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QStringList>
#include <optional>
#include <vector>

class Archive;

struct SafetyChange {
    QDateTime utc;             // the first observation with the new verdict
    std::optional<bool> safe;  // empty: no verdict known
    QStringList unsafe;        // the conditions then (empty when safe)
    QStringList before;        // the conditions just before
};

// At most `limit` changes between fromUtc and toUtc, newest first. The minute
// summaries tell which minutes hold a change; only those minutes' observations
// (and the last hour's not summarized yet) are read, by ranges of the time key.
std::vector<SafetyChange> querySafetyChanges(const QSqlDatabase &db, const QDateTime &fromUtc, const QDateTime &toUtc,
                                             int limit);

// ?limit= (1..50, default 10) &days= (1..7, default 7). Read on a worker
// thread (the reply's `later`); 503 without an archive.
HttpRouteReply answerSafetyChanges(const HttpRouteRequest &request, Archive *archive, const QDateTime &nowUtc);
