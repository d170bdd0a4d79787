// Conversions, cloud classes and setting digits where the cycle tests do not
// already reach the edges.
#include "core/hand_box_api.h"
#include "core/number_format.h"
#include "core/settings.h"
#include "station/board_commands.h"
#include "station/conditions.h"
#include "station/conversions.h"
#include "station/record_parser.h"
#include "station/simulated_weather.h"
#include "station/weather_state.h"

#include <gtest/gtest.h>
#include <limits>

TEST(Conversions, TemperatureTermSwitchesOnTheWholeAmbient)
{
    EXPECT_NEAR(sensorHumidity(676), 69.29, 0.005);
    // The same 1.6 C mean, shown as 2 or as 1.
    EXPECT_NEAR(humidityAndDewPoint(676, 1.6, 2).relativeHumidity, 72.208, 0.001);
    EXPECT_NEAR(humidityAndDewPoint(676, 1.6, 1).relativeHumidity, 65.394, 0.001);
}

TEST(Conversions, NegativeHumidityAndValuesWithoutARealResult)
{
    const HumidityResult h = humidityAndDewPoint(100, 12.34, 12); // below the sensor's offset
    EXPECT_EQ(h.relativeHumidity, 100);
    EXPECT_EQ(h.dewPointC, 12.34);
    const double zeroCounts = 0.958 / 5.02 * 1024; // S exactly 0: no logarithm
    EXPECT_THROW(humidityAndDewPoint(zeroCounts, 20, 20), ConversionError);
    EXPECT_THROW(humidityAndDewPoint(std::numeric_limits<double>::infinity(), 20, 20), ConversionError);
    EXPECT_THROW(calculatedSkyTemp(-200, 10), ConversionError);
    EXPECT_EQ(windSample(0, 0.015, 1), 0);
    EXPECT_DOUBLE_EQ(windSample(100, 0.015, 1), 2.5);
}

TEST(Conversions, ClearSkyTemperatureOfTheTestRecord)
{
    // Dew point 21.2 shown, whole ambient 26: the Kelvin offset is 273.12 (273.15 gives 12.3604).
    EXPECT_NEAR(calculatedSkyTemp(21.2, 26), 12.36174, 0.00005);
}

TEST(Conditions, HeaterAndRelayDigits)
{
    for (int digit = 0; digit <= 9; ++digit) {
        const Indicator shown = switchIndicator(digit);
        const char *expected = digit == 1 ? "Y" : digit == 2 ? "?" : "N";
        EXPECT_EQ(shown.caption, QLatin1String(expected)) << digit;
        EXPECT_EQ(shown.backColor, digit == 1 ? VbColor::Red : digit == 2 ? VbColor::Yellow : VbColor::Green) << digit;
    }
}

TEST(Conditions, SkyClassWithLevelsEitherWayRound)
{
    EXPECT_EQ(skyClass(19.01, 22, 19), SkyClass::PartlyCloudy);
    EXPECT_EQ(skyClass(20, 19, 22), SkyClass::Clear); // at or above partly: clear
    EXPECT_EQ(skyClass(18, 19, 22), SkyClass::Overcast);
    EXPECT_FALSE(isWindy(0, 0, 300)); // no step time, no wind, no division by zero
}

TEST(SettingDigits, RoundingAndSigns)
{
    EXPECT_EQ(hysteresisDigits(0.25), QStringLiteral("02")); // 2.5 rounds to even
    EXPECT_EQ(hysteresisDigits(0.35), QStringLiteral("04"));
    EXPECT_EQ(thresholdDigits(7), QStringLiteral("007"));
    // Int is the floor (-0.5 gives -1) and the remainder keeps the sign.
    Settings s;
    s.TPTempHysteresis = -0.5;
    SentSettings sent;
    const QList<Request> r = takeSettingRequest(s, sent, 0);
    ASSERT_EQ(r.size(), 1);
    EXPECT_EQ(r.first(), (QStringList{":", "S", "h", "-1", "-5"}));
}

TEST(BoardRecord, FormatKeepsTheLayout)
{
    BoardReading r;
    EXPECT_EQ(formatBoardRecord(r), kTestRecord);
    r.skyHundredths = -250;
    r.windCount = 123456; // clamped to its four places
    const QString text = formatBoardRecord(r);
    EXPECT_TRUE(recordAccepted(text));
    EXPECT_EQ(recordField(text, RecordPos::Tp, 6), QStringLiteral("-00250"));
    EXPECT_EQ(recordField(text, RecordPos::Wind, 4), QStringLiteral("9999"));
}
