// The sky corrected for the ambient temperature, through the station cycle:
// what the hand box shows and how it colours the sky.
#include "core/hand_box_api.h"
#include "station_fixture.h"

using SkyCorrection = StationFixture;

TEST_F(SkyCorrection, TheCorrectedSkyIsMeasuredFromWhatAClearSkyReads)
{
    // Ambient reads back 26 and the sky 4.0: the plain difference is 22.
    port.isOpen = true;
    const struct {
        bool corrected;
        int k1, k3, k4, k5;
        const char *shown;
        uint32_t colour;
    } cases[] = {{false, 33, 4, 100, 100, "22.0", VbColor::Green},
                 {true, 100, 0, 0, 0, "22.0", VbColor::Green}, // K1 = 100, the rest 0: the plain difference
                 // A warm night's clear sky reads far below the ambient:
                 // 0.33 * 26 + 0.04 * e^2.6 = 9.12 °C, less the sky's 4.0.
                 {true, 33, 4, 100, 100, "5.1", VbColor::Red}};
    for (const auto &c : cases) {
        settings().SkyCorrected = c.corrected;
        settings().SkyK1 = c.k1;
        settings().SkyK3 = c.k3;
        settings().SkyK4 = c.k4;
        settings().SkyK5 = c.k5;
        port.answers = {{PortResult::Ok, withField(kTestRecord, 38, QStringLiteral("+00400"))}};
        cycle.run();
        EXPECT_EQ(field(HandBoxField::Cloud_Sky), QLatin1String(c.shown)) << c.k1;
        EXPECT_EQ(back(HandBoxField::Cloud_Sky), c.colour) << c.k1;
    }
}
