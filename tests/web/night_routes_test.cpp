// The page's night routes on a real HTTP endpoint: the safety changes of the
// archive with their reasons (only changes of the verdict, newest first, within
// the span asked), the sky with the Moon and the cloud limits in force, and what
// each says without an archive or a site.
#include "archive/archive.h"
#include "alpaca/alpaca_server.h"
#include "http_client.h"
#include "web/web_routes.h"
#include "served_routes.h"
#include "../archive/archive_fixture.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

SafetyVerdict verdict(std::optional<bool> safe, const QStringList &unsafe = {})
{
    SafetyVerdict v;
    v.known = safe.has_value();
    v.safe = safe.value_or(false);
    for (const QString &name : unsafe)
        v.unsafe.append({name, name, {}});
    return v;
}

using Served = ServedRoutes;

} // namespace

TEST(NightRoutes, SafetyChangesWithTheirReasonsNewestFirst)
{
    Served s(true);
    // A whole minute, so that some changes fall on a minute's first second and some within one.
    const QDateTime start = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() / 60 * 60 - 3600, Qt::UTC);
    // Seconds from start, and the verdict from then on.
    const struct {
        int at;
        std::optional<bool> safe;
        QStringList unsafe;
    } spells[] = {
        {0, std::nullopt, {}},             // no verdict yet
        {60, false, {"startup"}},
        {330, true, {}},
        {900, false, {"clouds"}},
        {1210, false, {"clouds", "rain"}}, // more reasons, the same verdict: no change
        {1530, true, {}},
    };
    for (int t = 0; t < 1800; t += 10) {
        const auto *spell = &spells[0];
        for (const auto &sp : spells)
            if (sp.at <= t)
                spell = &sp;
        s.archive.add(observationAt(start.addSecs(t), 10), simulatedBoard(), verdict(spell->safe, spell->unsafe));
    }
    const QJsonArray changes = s.get("/tarnwick/v1/safety-changes").json()["changes"].toArray();
    ASSERT_EQ(changes.size(), 4);
    const struct {
        int at;
        QJsonValue safe;
        QJsonArray unsafe, before;
    } expected[] = {
        {1530, true, {}, {"clouds", "rain"}},
        {900, false, {"clouds"}, {}},
        {330, true, {}, {"startup"}},
        {60, false, {"startup"}, {}},
    };
    for (int i = 0; i < 4; ++i) {
        const QJsonObject c = changes[i].toObject();
        EXPECT_EQ(QDateTime::fromString(c["time"].toString(), Qt::ISODate).toSecsSinceEpoch(), start.addSecs(expected[i].at).toSecsSinceEpoch()) << i;
        EXPECT_EQ(c["safe"], expected[i].safe) << i;
        EXPECT_EQ(c["unsafe"].toArray(), expected[i].unsafe) << i;
        EXPECT_EQ(c["before"].toArray(), expected[i].before) << i;
    }
    const QJsonArray newest = s.get("/tarnwick/v1/safety-changes?limit=1").json()["changes"].toArray();
    ASSERT_EQ(newest.size(), 1);
    EXPECT_EQ(newest[0], changes[0]);
    for (const char *bad : {"?limit=0", "?limit=51", "?days=8", "?days=x", "?since=1"})
        EXPECT_EQ(s.get(QByteArray("/tarnwick/v1/safety-changes") + bad).status, 400) << bad;
}

TEST(NightRoutes, SkyTellsTheMoonTheCloudLimitsAndWhetherAnArchiveIsKept)
{
    Served none(false);
    EXPECT_EQ(none.get("/tarnwick/v1/safety-changes").status, 503);
    QJsonObject sky = none.get("/tarnwick/v1/sky").json();
    EXPECT_EQ(sky["archive"], false);
    const QJsonObject moon = sky["moon"].toObject();
    EXPECT_GE(moon["illuminated_fraction"].toDouble(), 0);
    EXPECT_LE(moon["illuminated_fraction"].toDouble(), 1);
    EXPECT_FALSE(moon["phase"].toString().isEmpty());
    EXPECT_EQ(moon["site"], false);
    EXPECT_FALSE(moon.contains("rise"));

    Served kept(true);
    kept.settings.PartCloudyDegC = 24;
    kept.settings.FullCloudyDegC = 17;
    kept.settings.Latitude = "52.2";
    kept.settings.Longitude = "0.12";
    sky = kept.get("/tarnwick/v1/sky").json();
    EXPECT_EQ(sky["archive"], true);
    EXPECT_EQ(sky["clouds"].toObject(), (QJsonObject{{"clear_from_c", 24}, {"overcast_to_c", 17}}));
    const QJsonObject withSite = sky["moon"].toObject();
    EXPECT_EQ(withSite["site"], true);
    // Tonight the Moon rises, sets, or stays up or down all along.
    EXPECT_TRUE(withSite["rise"].isString() || withSite["set"].isString() || withSite["always"].isString());
    EXPECT_EQ(kept.get("/tarnwick/v1/sky?x=1").status, 400);
}
