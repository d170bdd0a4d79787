#include "web/sky_route.h"

#include "archive/history_text.h"
#include "core/moon.h"
#include "core/solar.h"
#include "web/route_replies.h"

#include <cmath>

namespace {

QJsonValue isoOrNull(const QDateTime &t)
{
    return t.isValid() ? QJsonValue(isoUtc(t)) : QJsonValue();
}

} // namespace

SkyRules skyRulesFrom(const Settings &s)
{
    return {siteLocation(s), s.PartCloudyDegC, s.FullCloudyDegC};
}

QJsonObject moonJson(const QDateTime &nowUtc, const SiteLocation &site)
{
    const MoonPhase phase = moonPhaseAt(nowUtc);
    QJsonObject out{{QStringLiteral("phase"), QString::fromLatin1(phase.name)},
                    {QStringLiteral("illuminated_fraction"), std::round(phase.illuminatedFraction * 1000) / 1000},
                    {QStringLiteral("waxing"), phase.elongationDeg < 180},
                    {QStringLiteral("site"), site.known}};
    if (!site.known) {
        if (!site.problem.isEmpty())
            out.insert(QStringLiteral("problem"), site.problem);
        return out;
    }
    // Tonight as the night panel has it: from the solar noon before now to the next.
    const QDateTime noon = solarNoonBefore(nowUtc, site.longitudeDeg);
    const MoonRiseSet tonight = moonRiseSet(noon, noon.addDays(1), site.latitudeDeg, site.longitudeDeg);
    const double elevation = moonElevationDeg(nowUtc, site.latitudeDeg, site.longitudeDeg);
    out.insert(QStringLiteral("elevation_deg"), std::round(elevation * 10) / 10);
    out.insert(QStringLiteral("rise"), isoOrNull(tonight.rise));
    out.insert(QStringLiteral("set"), isoOrNull(tonight.set));
    out.insert(QStringLiteral("always"), tonight.alwaysUp ? QJsonValue(QStringLiteral("up"))
                                             : tonight.alwaysDown ? QJsonValue(QStringLiteral("down"))
                                                                  : QJsonValue());
    out.insert(QStringLiteral("from"), isoUtc(noon));
    out.insert(QStringLiteral("to"), isoUtc(noon.addDays(1)));
    return out;
}

HttpRouteReply answerSky(const HttpRouteRequest &request, const QDateTime &nowUtc, const SkyRules &rules,
                         bool archiveKept)
{
    if (!readOnly(request))
        return error(405, QStringLiteral("the web page is read-only"));
    if (!request.query.isEmpty())
        return error(400, QStringLiteral("/tarnwick/v1/sky takes no parameters"));
    QJsonObject out{{QStringLiteral("now"), isoUtc(nowUtc)},
                    {QStringLiteral("archive"), archiveKept},
                    {QStringLiteral("clouds"), QJsonObject{{QStringLiteral("clear_from_c"), rules.clearFromC},
                                                           {QStringLiteral("overcast_to_c"), rules.overcastToC}}},
                    {QStringLiteral("moon"), moonJson(nowUtc, rules.site)}};
    if (rules.site.known)
        out.insert(QStringLiteral("sun"), QJsonObject{{QStringLiteral("elevation_deg"),
                                                       std::round(solarElevationDeg(nowUtc, rules.site.latitudeDeg,
                                                                                    rules.site.longitudeDeg) * 10) / 10}});
    return json(200, out);
}
