#include "core/number_format.h"

#include <gtest/gtest.h>
#include <cmath>

TEST(NumberFormat, RoundsHalvesAwayFromZeroOnTheDecimalForm)
{
    EXPECT_EQ(formatNumber(0.15, "0.0"), "0.2");   // binary 0.1499999...
    EXPECT_EQ(formatNumber(2.45, "0.0"), "2.5");
    EXPECT_EQ(formatNumber(-2.45, "0.0"), "-2.5");
    EXPECT_EQ(formatNumber(2.5, "0"), "3");
    EXPECT_EQ(formatNumber(-2.5, "0"), "-3");
    EXPECT_EQ(formatNumber(1.005, "0.00"), "1.01");
    EXPECT_EQ(formatNumber(26.31, "0.0"), "26.3");
    EXPECT_EQ(formatNumber(9.95, "0.0"), "10.0");
    EXPECT_EQ(formatNumber(99.999, "0.00"), "100.00");
    EXPECT_EQ(formatNumber(0.0005, "0.000"), "0.001");
    EXPECT_EQ(formatNumber(1.23456789, "0.0000"), "1.2346");
}

TEST(NumberFormat, AllPatternsAndPadding)
{
    EXPECT_EQ(formatNumber(17, "0"), "17");
    EXPECT_EQ(formatNumber(17, "0.0"), "17.0");
    EXPECT_EQ(formatNumber(0.015, "0.000"), "0.015");
    EXPECT_EQ(formatNumber(5, "0.00"), "5.00");
    EXPECT_EQ(formatNumber(-0.00045015253, "0.000000000000"), "-0.000450152530");
    EXPECT_EQ(formatNumber(0.000000713329, "0.000000000000"), "0.000000713329");
    EXPECT_EQ(formatNumber(0.5, "0"), "1");
    EXPECT_EQ(formatNumber(0.49, "0"), "0");
}

TEST(NumberFormat, ValuesThatRoundToZeroHaveNoSign)
{
    EXPECT_EQ(formatNumber(-0.04, "0.0"), "0.0");
    EXPECT_EQ(formatNumber(-0.4, "0"), "0");
    EXPECT_EQ(formatNumber(-0.0, "0.00"), "0.00");
    EXPECT_EQ(formatNumber(1e-20, "0.0"), "0.0");
    EXPECT_EQ(formatNumber(-0.05, "0.0"), "-0.1");
}

TEST(NumberFormat, LargeValuesHaveNoSeparators)
{
    EXPECT_EQ(formatNumber(1234567.25, "0.0"), "1234567.3");
    EXPECT_EQ(formatNumber(1e20, "0"), "100000000000000000000");
    EXPECT_EQ(formatNumber(-99999.95, "0.0"), "-100000.0");
    EXPECT_EQ(formatNumber(123456789012345678.0, "0"), "123456789012346000");
}

TEST(NumberFormat, RightAlignNeverCuts)
{
    EXPECT_EQ(rightAlign("1.5", 6), "   1.5");
    EXPECT_EQ(rightAlign("12345.6", 6), "12345.6");
    EXPECT_EQ(rightAlign("", 2), "  ");
}

TEST(Conversions, ToInt32RoundsHalvesToEvenAndReportsOverflow)
{
    EXPECT_EQ(toInt32(2.5), 2);
    EXPECT_EQ(toInt32(3.5), 4);
    EXPECT_EQ(toInt32(-2.5), -2);
    EXPECT_EQ(toInt32(-3.5), -4);
    EXPECT_EQ(toInt32(2.4999), 2);
    EXPECT_EQ(toInt32(-0.5), 0);
    EXPECT_EQ(toInt32(2147483647.4), 2147483647);
    EXPECT_EQ(toInt32(-2147483648.0), -2147483647 - 1);
    EXPECT_THROW(toInt32(2147483647.5), ConversionError);
    EXPECT_THROW(toInt32(-2147483649.0), ConversionError);
    EXPECT_THROW(toInt32(NAN), ConversionError);
    EXPECT_EQ(toInt16(32767.0), 32767);
    EXPECT_THROW(toInt16(32768.0), ConversionError);
}

TEST(Conversions, TextToNumbers)
{
    EXPECT_EQ(wholeFromText("+00146"), 146);
    EXPECT_EQ(wholeFromText("  12 "), 12);
    EXPECT_EQ(wholeFromText("-0250"), -250);
    EXPECT_EQ(wholeFromText("0676"), 676);
    EXPECT_EQ(wholeFromText("26.5"), 26);
    EXPECT_EQ(wholeFromText("27.5"), 28);
    EXPECT_EQ(wholeFromText("1e3"), 1000);
    EXPECT_DOUBLE_EQ(realFromText("+04432"), 4432);
    EXPECT_DOUBLE_EQ(realFromText(" -1.25 "), -1.25);
    EXPECT_DOUBLE_EQ(realFromText(".5"), 0.5);
    EXPECT_DOUBLE_EQ(realFromText("0.000000713329"), 0.000000713329);
    EXPECT_DOUBLE_EQ(realFromText(QString(80, QLatin1Char('0')) + QStringLiteral("12.5\t")), 12.5); // a long text
    EXPECT_THROW(realFromText(QStringLiteral("12\u20ac")), ConversionError);
    EXPECT_THROW(realFromText(QStringLiteral("1\u0131")), ConversionError); // 0x131: no Latin-1 '1' after the cut
    for (const char *bad : {"", " ", "abc", "12a", "+", "-", ".", "1e", "1.2.3", "0x10", "1 2", "--1"})
        EXPECT_THROW(realFromText(QString::fromLatin1(bad)), ConversionError) << bad;
    EXPECT_THROW(wholeFromText("99999999999"), ConversionError);
    EXPECT_THROW(realFromText("1e999"), ConversionError);
}

TEST(Conversions, TextToBoolean)
{
    EXPECT_TRUE(boolFromText("True"));
    EXPECT_TRUE(boolFromText("true"));
    EXPECT_FALSE(boolFromText("False"));
    EXPECT_TRUE(boolFromText("-1"));
    EXPECT_FALSE(boolFromText("0"));
    EXPECT_THROW(boolFromText(""), ConversionError);
    EXPECT_THROW(boolFromText("yes"), ConversionError);
    EXPECT_EQ(boolText(true), "True");
    EXPECT_EQ(boolText(false), "False");
}

TEST(Conversions, GeneralTextIsShortestUpTo15Digits)
{
    EXPECT_EQ(generalText(146 / 100.0), "1.46");
    EXPECT_EQ(generalText(4432 / 100.0), "44.32");
    EXPECT_EQ(generalText(-250 / 100.0), "-2.5");
    EXPECT_EQ(generalText(0.1 + 0.2), "0.3");
    EXPECT_EQ(generalText(17), "17");
    EXPECT_EQ(generalText(0), "0");
    EXPECT_EQ(generalText(0.015), "0.015");
    EXPECT_EQ(generalText(1e20), "1E+20");
    EXPECT_EQ(generalText(0.00001), "1E-05");
    EXPECT_EQ(generalText(-1.5e-7), "-1.5E-07");
    EXPECT_EQ(generalText(123456789012345.0), "123456789012345");
    EXPECT_EQ(generalText(1.0 / 3), "0.333333333333333");
}

TEST(Conversions, PlainDecimalTextHasTheSameDigitsWithoutAnExponent)
{
    const std::pair<double, const char *> cases[] = {
        {-0.000000713329, "-0.000000713329"}, {0.000034852743, "0.000034852743"}, {0.00001, "0.00001"},
        {1e20, "100000000000000000000"},     {-250 / 100.0, "-2.5"},             {0.1 + 0.2, "0.3"},
        {17, "17"},                           {0, "0"},                           {1.0 / 3, "0.333333333333333"},
        {123456789012345.0, "123456789012345"}, {-0.00045015253, "-0.00045015253"},
    };
    for (const auto &[value, text] : cases) {
        EXPECT_EQ(plainDecimalText(value), text);
        EXPECT_EQ(realFromText(plainDecimalText(value)), realFromText(generalText(value))) << text;
    }
}
