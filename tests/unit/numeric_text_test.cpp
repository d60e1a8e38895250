#include "core/numeric_text.h"

#include <QString>
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

using numeric::parseNumber;

namespace {

struct ParseCase {
    const char16_t *text;
    std::optional<double> value;
};

class ParseNumber : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseNumber, AcceptsOnlyOneDecimalNumber) {
    const ParseCase &c = GetParam();
    const auto parsed = parseNumber(QString::fromUtf16(c.text));
    ASSERT_EQ(parsed.has_value(), c.value.has_value()) << QString::fromUtf16(c.text).toStdString();
    if (c.value) {
        EXPECT_DOUBLE_EQ(*parsed, *c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseNumber,
    ::testing::Values(ParseCase{u"1", 1}, ParseCase{u"  42\t", 42}, ParseCase{u"-1", -1},
                      ParseCase{u"+7", 7}, ParseCase{u"3.7", 3.7}, ParseCase{u".5", 0.5},
                      ParseCase{u"5.", 5}, ParseCase{u"1e3", 1000}, ParseCase{u"2.5E-1", 0.25},
                      ParseCase{u"1e+2", 100}, ParseCase{u"-0", 0}, ParseCase{u"60000.6", 60000.6},
                      ParseCase{u"0001", 1},
                      // underflow is a tiny number, still numeric
                      ParseCase{u"1e-400", 0}, ParseCase{u"-1e-400", 0},
                      // not numeric
                      ParseCase{u"", std::nullopt}, ParseCase{u"   ", std::nullopt},
                      ParseCase{u"abc", std::nullopt}, ParseCase{u"12a", std::nullopt},
                      ParseCase{u"1 2", std::nullopt}, ParseCase{u"-", std::nullopt},
                      ParseCase{u".", std::nullopt}, ParseCase{u"1e", std::nullopt},
                      ParseCase{u"e5", std::nullopt}, ParseCase{u"1e400", std::nullopt},
                      ParseCase{u"-1e400", std::nullopt}, ParseCase{u"nan", std::nullopt},
                      ParseCase{u"inf", std::nullopt}, ParseCase{u"0x10", std::nullopt},
                      ParseCase{u"&H10", std::nullopt}, ParseCase{u"1,5", std::nullopt},
                      ParseCase{u"１２", std::nullopt}, ParseCase{u"\u0661\u0662", std::nullopt},
                      ParseCase{u"--1", std::nullopt}, ParseCase{u"1.2.3", std::nullopt},
                      ParseCase{u"\u3000"
                                u"1",
                                std::nullopt}));

TEST(ParseNumber, HandlesAVeryLongText) {
    EXPECT_FALSE(parseNumber(QString(100000, u'9')).has_value()); // overflows a double
    EXPECT_FALSE(parseNumber(QString(100000, u'x')).has_value());
    const QString longFraction = QStringLiteral("0.") + QString(100000, u'0') + u'1';
    ASSERT_TRUE(parseNumber(longFraction).has_value());
    EXPECT_EQ(*parseNumber(longFraction), 0.0);
}

TEST(NearestEven, HalvesGoToTheEvenNeighbour) {
    const std::pair<double, double> cases[] = {{0.5, 0},   {1.5, 2},   {2.5, 2},        {3.5, 4},
                                               {-0.5, -0}, {-1.5, -2}, {2.4, 2},        {2.6, 3},
                                               {50.5, 50}, {51.5, 52}, {60000.6, 60001}};
    for (const auto &[in, out] : cases)
        EXPECT_EQ(numeric::nearestEven(in), out) << in;
}

TEST(ByteConversions, ReportWhatDoesNotFit) {
    struct Case {
        double value;
        std::optional<int> floored;
        std::optional<int> nearest;
    };
    const Case cases[] = {{0, 0, 0},        {3.7, 3, 4},   {255, 255, 255}, {255.4, 255, 255},
                          {255.6, 255, {}}, {256, {}, {}}, {-0.4, {}, 0},   {-1, {}, {}},
                          {300, {}, {}},    {2.5, 2, 2},   {3.5, 3, 4},     {1e300, {}, {}}};
    for (const Case &c : cases) {
        const auto floored = numeric::floorToByte(c.value);
        const auto nearest = numeric::nearestToByte(c.value);
        EXPECT_EQ(floored ? std::optional<int>(*floored) : std::nullopt, c.floored) << c.value;
        EXPECT_EQ(nearest ? std::optional<int>(*nearest) : std::nullopt, c.nearest) << c.value;
    }
}

TEST(WrappedRegisterValue, SinglePrecisionWrapAndRounding) {
    const std::pair<double, std::optional<int>> cases[] = {
        {1, 1},           {1.5, 2},     {2.5, 2},       {0.5, 0},         {-1, 0xFFFF},
        {-32768, 0x8000}, {2000, 2000}, {65535, 65535}, {65535.4, 65535}, {65535.5, {}},
        {70000, {}},      {-70000, {}}, {-0.2, {}},     {-0.5, {}},       {-0.6, 65535},
        {-65536, 0},      {1e39, {}},   {-0.0, 0}};
    for (const auto &[in, out] : cases) {
        const auto value = numeric::wrappedRegisterValue(in);
        EXPECT_EQ(value ? std::optional<int>(*value) : std::nullopt, out) << in;
    }
}

TEST(WrappedRegisterValue, HoldsTheNumberInSinglePrecisionFirst) {
    // 16777217 is not a float: held as a float it is 16777216, far outside a register either way,
    // but 65535.49 rounds differently only if kept as a double (it is 65535.4921875 as a float).
    EXPECT_EQ(numeric::wrappedRegisterValue(65535.49), std::optional<std::uint16_t>(65535));
    // -0.50000001 is -0.5 as a float: 65535.5 then halves to even, 65536, which does not fit.
    EXPECT_FALSE(numeric::wrappedRegisterValue(-0.50000001).has_value());
}

} // namespace
