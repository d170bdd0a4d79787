// The archive's nights and the sky calibration on the HTTP endpoint, read on
// a worker thread:
//   GET /tarnwick/v1/nights?days=N          (default 365)
//   GET /tarnwick/v1/sky-calibration?nights=N (default 60)
// Read-only: the calibration proposes, the settings page saves on the user's OK.
#pragma once

#include "core/http_route.h"
#include "core/settings.h"

#include <QDateTime>

class App;
class Archive;

HttpRouteReply answerNights(const HttpRouteRequest &request, Archive *archive, const SiteLocation &site,
                            const QDateTime &nowUtc);
HttpRouteReply answerSkyCalibration(const HttpRouteRequest &request, Archive *archive, const Settings &settings,
                                    const QDateTime &nowUtc);
void addSkyHistoryRoutes(App &app);
