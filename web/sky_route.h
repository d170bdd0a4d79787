// "/tarnwick/v1/sky": what the page shows beside the live values that does not
// come from the board: the Sun and the Moon at the site tonight, the cloud
// limits in force (for the cloud chart) and whether an archive is kept (so
// that a page of a program without one asks nothing of it).
#pragma once

#include "core/http_route.h"
#include "core/settings.h"

#include <QDateTime>
#include <QJsonObject>

struct SkyRules {
    SiteLocation site;
    int clearFromC = 22;   // ambient − sky at or above: clear (PartCloudyDegC)
    int overcastToC = 19;  // at or below: overcast (FullCloudyDegC)
};
SkyRules skyRulesFrom(const Settings &settings);

// {"phase", "illuminated_fraction", "waxing", "site", and with a site
// "elevation_deg", "rise", "set" (tonight: between the solar noons around
// now), "always": "up"/"down"/null}.
QJsonObject moonJson(const QDateTime &nowUtc, const SiteLocation &site);

HttpRouteReply answerSky(const HttpRouteRequest &request, const QDateTime &nowUtc, const SkyRules &rules,
                         bool archiveKept);
