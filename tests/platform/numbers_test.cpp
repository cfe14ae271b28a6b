#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "platform/numbers.h"

using namespace quor::platform;

TEST(RoundHalfEven, TiesGoToTheEvenNeighbour) {
    EXPECT_DOUBLE_EQ(roundHalfEven(2.125, 2), 2.12);
    EXPECT_DOUBLE_EQ(roundHalfEven(2.375, 2), 2.38);
    EXPECT_DOUBLE_EQ(roundHalfEven(0.5), 0);
    EXPECT_DOUBLE_EQ(roundHalfEven(1.5), 2);
    EXPECT_DOUBLE_EQ(roundHalfEven(912.5), 912);
    EXPECT_DOUBLE_EQ(roundHalfEven(913.5), 914);
    EXPECT_DOUBLE_EQ(roundHalfEven(-2.5), -2);
    EXPECT_DOUBLE_EQ(roundHalfEven(-3.5), -4);
}

TEST(RoundHalfEven, NonTiesRoundToNearestAndCarry) {
    EXPECT_DOUBLE_EQ(roundHalfEven(2.675, 2), 2.68);  // the written number is a tie with an odd 7
    EXPECT_DOUBLE_EQ(roundHalfEven(2.5000001), 3);
    EXPECT_DOUBLE_EQ(roundHalfEven(9.996, 2), 10.0);
    EXPECT_DOUBLE_EQ(roundHalfEven(99.5), 100);
    EXPECT_DOUBLE_EQ(roundHalfEven(0.004, 2), 0);
    EXPECT_DOUBLE_EQ(roundHalfEven(1234.0, 2), 1234.0);
    EXPECT_DOUBLE_EQ(roundHalfEven(-0.125, 2), -0.12);
}

TEST(FormatNumber, ShortestPlainDecimal) {
    EXPECT_EQ(formatNumber(10000.0), "10000");
    EXPECT_EQ(formatNumber(0.053), "0.053");
    EXPECT_EQ(formatNumber(1e-5), "0.00001");
    EXPECT_EQ(formatNumber(-3.25), "-3.25");
    EXPECT_EQ(formatNumber(0.0), "0");
    EXPECT_EQ(formatNumber(-0.0), "0");
    EXPECT_EQ(formatNumber(-3.1f), "-3.1");
    EXPECT_EQ(formatNumber(1.909), "1.909");
}

TEST(ParseNumber, CLocaleOnlyWholeText) {
    EXPECT_EQ(parseNumber("0.17"), 0.17);
    EXPECT_EQ(parseNumber("  12.5 "), 12.5);
    EXPECT_EQ(parseNumber("+3"), 3.0);
    EXPECT_EQ(parseNumber("-1e3"), -1000.0);
    EXPECT_FALSE(parseNumber(""));
    EXPECT_FALSE(parseNumber("abc"));
    EXPECT_FALSE(parseNumber("0,17"));
    EXPECT_FALSE(parseNumber("12abc"));
    EXPECT_FALSE(parseNumber("nan"));
    EXPECT_FALSE(parseNumber("inf"));
}

TEST(ParseInt16, RoundsHalfEvenAndChecksWidth) {
    EXPECT_EQ(parseInt16("30.5"), 30);
    EXPECT_EQ(parseInt16("31.5"), 32);
    EXPECT_EQ(parseInt16("-2.5"), -2);
    EXPECT_EQ(parseInt16("32767"), 32767);
    EXPECT_FALSE(parseInt16("x"));
    EXPECT_THROW(parseInt16("32768"), OverflowError);
    EXPECT_THROW(toInt16(-32768.6), OverflowError);
    EXPECT_EQ(toInt16(-32768.4), -32768);
}

TEST(RoundHalfEven, SameUnderADecimalCommaLocale) {
    // The application runs in the user's locale; a German or French one
    // writes 2,12, and C-library parsing then stops at the point.
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    const char* comma = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8", "de_DE"})
        if (std::setlocale(LC_NUMERIC, name)) {
            comma = name;
            break;
        }
    if (!comma) GTEST_SKIP() << "no decimal-comma locale installed";
    const double r1 = roundHalfEven(2.125, 2), r2 = roundHalfEven(0.3751, 3);
    const std::string text = formatNumber(0.053);
    const auto parsed = parseNumber("0.17");
    std::setlocale(LC_NUMERIC, before.c_str());
    EXPECT_DOUBLE_EQ(r1, 2.12) << comma;
    EXPECT_DOUBLE_EQ(r2, 0.375);
    EXPECT_EQ(text, "0.053");
    EXPECT_EQ(parsed, 0.17);
}

TEST(Raster, ShortestTextOfFloatsAndDoubles) {
    EXPECT_EQ(shortestText(-3.1f), "-3.1");
    EXPECT_EQ(shortestText(0.1f), "0.1");
    EXPECT_EQ(shortestText(static_cast<double>(0.1f)), "0.10000000149011612");
    EXPECT_EQ(shortestText(28.3125), "28.3125");
}

TEST(FormatSignificant, FifteenDigitsWithoutExponentOrTrailingZeros) {
    EXPECT_EQ(formatSignificant(10 * 0.447), "4.47");
    EXPECT_EQ(formatSignificant(15 * 0.447), "6.705");
    EXPECT_EQ(formatSignificant(12.0), "12");
    EXPECT_EQ(formatSignificant(0.0), "0");
    EXPECT_EQ(formatSignificant(-0.5), "-0.5");
    EXPECT_EQ(formatSignificant(1e-5), "0.00001");
    EXPECT_EQ(formatSignificant(123456789012345678.0), "123456789012346000");
    EXPECT_EQ(formatSignificant(0.1 + 0.2), "0.3");
    EXPECT_EQ(formatSignificant(static_cast<double>(7.97f), 7), "7.97");
    EXPECT_EQ(formatSignificant(99.99999999999999), "100");
}

TEST(ParseDecimal, PointAlwaysCommaOnlyWithoutAPoint) {
    EXPECT_EQ(parseDecimal("12.5"), 12.5);
    EXPECT_EQ(parseDecimal(" 12,5 "), 12.5);
    EXPECT_FALSE(parseDecimal("1,012.5"));
    EXPECT_FALSE(parseDecimal("1,0,1"));
    EXPECT_FALSE(parseDecimal(""));
    EXPECT_FALSE(parseDecimal("12 m/s"));
    EXPECT_EQ(parseDecimal("-3"), -3);
}

TEST(ShortestText, SinglePrecisionValuesEnterAsWritten) {
    EXPECT_EQ(asWritten(0.053f), 0.053);
    EXPECT_NE(static_cast<double>(0.053f), 0.053);
    EXPECT_EQ(asWritten(-3.1f), -3.1);
    EXPECT_EQ(asWritten(1e-5f), 1e-5);
    EXPECT_EQ(asWritten(16777216.0f), 16777216.0);
    // The shortest form may use an exponent; formatNumber never does.
    EXPECT_EQ(shortestText(1e21), "1e+21");
    EXPECT_EQ(formatNumber(1e21), "1000000000000000000000");
}

// asWritten reads a float's digits straight into a double; it must give
// what reading its shortest text gives, bit for bit. Every one of the 2^32
// patterns was checked once; here the hard corners and a spread sample.
TEST(ShortestText, DigitsReadStraightGiveWhatTheTextGives) {
    auto same = [](float f) {
        const double fast = asWritten(f), text = asWrittenViaText(f);
        std::uint64_t a, b;
        std::memcpy(&a, &fast, 8);
        std::memcpy(&b, &text, 8);
        return a == b || (std::isnan(fast) && std::isnan(text));
    };
    auto fromBits = [](std::uint32_t bits) {
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    };
    std::vector<float> corners = {0.0f, -0.0f, std::numeric_limits<float>::denorm_min(),
                                  std::numeric_limits<float>::min(), std::numeric_limits<float>::max(),
                                  std::numeric_limits<float>::lowest(), std::numeric_limits<float>::infinity(),
                                  16777215.0f, 16777216.0f, 16777218.0f, 0.5f, 2.5f, 1.5e-5f, 0.053f, -3.1f,
                                  fromBits(0x4c000004u),  // 33554448: whole numbers read back exactly
                                  fromBits(0x00000001u), fromBits(0x007fffffu), fromBits(0x00800000u)};
    for (int e = -45; e <= 38; ++e) {
        const float p = std::strtof(("1e" + std::to_string(e)).c_str(), nullptr);
        corners.insert(corners.end(),
                       {p, std::nextafter(p, 0.0f), std::nextafter(p, std::numeric_limits<float>::infinity()), -p});
    }
    for (float f : corners) EXPECT_TRUE(same(f)) << std::hexfloat << f;
    // Halfway digits: d.5 at every scale a depth raster meets.
    for (int d = 0; d < 2000; ++d)
        for (float scale : {1e-4f, 1e-2f, 1.0f, 1e2f}) EXPECT_TRUE(same((d + 0.5f) * scale)) << d << " " << scale;
    // A spread over every sign, exponent and mantissa pattern.
    int failures = 0;
    for (std::uint64_t b = 0; b <= 0xFFFFFFFFull && failures < 5; b += 4093)
        if (!same(fromBits(static_cast<std::uint32_t>(b))))
            ADD_FAILURE() << std::hex << b, ++failures;
}

TEST(ToInt16, OverflowSaysWhichValueDidNotFit) {
    try {
        toInt16(40000.5);
        FAIL() << "no overflow";
    } catch (const OverflowError& e) {
        EXPECT_EQ(std::string(e.what()), "The value 40000.5 does not fit a 16-bit integer.");
    }
    EXPECT_THROW(parseInt16("-32769"), OverflowError);
    EXPECT_EQ(parseInt16("-32768"), std::optional<int16_t>(-32768));
}
