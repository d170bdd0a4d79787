// The clear-sky fit on synthetic archives whose baseline and cloud share are
// known: the baseline comes back within 1 °C over -20..+30 °C, and the
// proposal calls the dark hours clear in the share they were written clear.
#include "night_archive.h"

#include "sky_history/calibration_text.h"
#include "sky_history/sky_calibration.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const SiteLocation kSite = siteAt(45.0, 6.0);
const QDateTime kNow = QDateTime(QDate(2026, 12, 7), QTime(20, 0), Qt::UTC);

SkySettings defaultSky()
{
    return skySettingsOf(Settings{});
}

} // namespace

TEST(SkyCalibration, RecoversAKnownBaselineAndCloudShare)
{
    struct Case {
        const char *name;
        Baseline baseline;
        double cloudy;
        double layerC = 0;
    };
    const Case cases[] = {
        {"the correction's own shape, mostly clear", [](double ta) { return 0.6 * ta - 22 + 0.5 * std::exp(0.08 * ta); }, 0.2},
        {"a parabola, half cloudy", [](double ta) { return -25 + 0.7 * ta + 0.006 * ta * ta; }, 0.5},
        {"a straight line, mostly cloudy", [](double ta) { return 0.8 * ta - 20; }, 0.7},
        {"a dense cloud layer 10 °C up, four nights in five", [](double ta) { return 0.8 * ta - 20; }, 0.8, 10},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        Archive archive;
        ASSERT_TRUE(archive.open(dir.path() + "/archive.sqlite"));
        const double clearShare = writeSyntheticSky(archive, kSite, kNow, 150, c.baseline, c.cloudy, c.layerC);
        const std::vector<SkyPoint> dark = darkSkyMinutes(QSqlDatabase::database(archive.connectionName()), kSite, kNow, 150);
        const SkyCalibration cal = calibrateFrom(dark, defaultSky(), 150);
        ASSERT_TRUE(cal.problem.isEmpty()) << cal.problem.toStdString();

        double worst = 0;
        for (double ta = -20; ta <= 30; ta += 0.5)
            worst = std::max(worst, std::abs(fittedClearSkyC(cal.fit, ta) - c.baseline(ta)));
        std::printf("%s: baseline within %.2f °C, rms %.2f °C, K = %g %g %g %g, limits %d/%d\n", c.name, worst,
                    cal.fit.rmsC, cal.fit.k[0], cal.fit.k[1], cal.fit.k[2], cal.fit.k[3], cal.proposed.partCloudyDegC,
                    cal.proposed.fullCloudyDegC);
        EXPECT_LT(worst, 1.0);
        // The limits stay where people know them: near a clear sky's plain Amb - Sky.
        EXPECT_GT(cal.proposed.partCloudyDegC, 10);
        EXPECT_LT(cal.proposed.partCloudyDegC, 40);

        const double total = dark.size() / 60.0;
        const SkyClassHours &h = cal.proposedHours;
        EXPECT_NEAR(h.clear + h.partlyCloudy + h.overcast, total, 1e-6);
        EXPECT_NEAR(cal.currentHours.clear + cal.currentHours.partlyCloudy + cal.currentHours.overcast, total, 1e-6);
        // Within two points of the share written clear.
        EXPECT_NEAR(h.clear / total, clearShare, 0.02);
    }
}

TEST(SkyCalibration, TooFewDarkHoursGiveNoProposal)
{
    QTemporaryDir dir;
    Archive archive;
    ASSERT_TRUE(archive.open(dir.path() + "/archive.sqlite"));
    // One night: its ambient spans two bands.
    writeSyntheticSky(archive, kSite, kNow, 1, [](double ta) { return ta - 25; }, 0.3);
    const SkyCalibration cal =
        calibrateFrom(darkSkyMinutes(QSqlDatabase::database(archive.connectionName()), kSite, kNow, 1), defaultSky(), 1);
    EXPECT_FALSE(cal.problem.isEmpty());
    const QString text = QString::fromUtf8(calibrationText(cal));
    EXPECT_TRUE(text.contains("No proposal")) << text.toStdString();
    EXPECT_FALSE(text.contains("config set"));
    EXPECT_FALSE(calibrationJson(cal).contains("proposed"));
}

TEST(SkyCalibration, TheProposalReadsAsSettingLinesAndALink)
{
    SkySettings sky;
    sky.corrected = true;
    sky.k = {61, 0, -3, 85, 100, 0, 0};
    sky.partCloudyDegC = 18;
    sky.fullCloudyDegC = 15;
    EXPECT_EQ(settingsLink(sky).toStdString(),
              "/settings?Sky/Corrected=True&Sky/K1=61&Sky/K2=0&Sky/K3=-3&Sky/K4=85&Sky/K5=100&Sky/K6=0&Sky/K7=0"
              "&PartCloudyDegC=18&FullCloudyDegC=15");
    // The proposed limits sit below a clear sky by three spreads, at least 2 °C,
    // the overcast limit at the current distance below.
    SkyFit fit;
    fit.clearDifferenceC = 24.6;
    for (auto [spread, part, full] : {std::tuple{0.3, 22, 19}, std::tuple{1.0, 21, 18}}) {
        fit.spreadC = spread;
        const SkySettings p = proposeSkySettings(fit, skySettingsOf(Settings{}));
        EXPECT_EQ(p.partCloudyDegC, part) << spread;
        EXPECT_EQ(p.fullCloudyDegC, full) << spread;
    }
}
