#include "math/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace {

struct WholeCase {
    const char* text;
    NumberText result;
    int64_t value;  // when the result is Ok
};

TEST(NumberText, WholeNumbersTakeOnlyTheWholeTextWithinTheRange)
{
    const WholeCase cases[] = {
        {"0", NumberText::Ok, 0},
        {"255", NumberText::Ok, 255},
        {"+7", NumberText::Ok, 7},
        {"-0", NumberText::Ok, 0},
        {"007", NumberText::Ok, 7},
        {"-1", NumberText::OutOfRange, 0},
        {"256", NumberText::OutOfRange, 0},
        {"99999999999999999999999999", NumberText::OutOfRange, 0},
        {"", NumberText::NotANumber, 0},
        {"-", NumberText::NotANumber, 0},
        {"+-1", NumberText::NotANumber, 0},
        {" 5", NumberText::NotANumber, 0},
        {"x5", NumberText::NotANumber, 0},
        {"5 ", NumberText::TrailingText, 0},
        {"5x", NumberText::TrailingText, 0},
        {"0x10", NumberText::TrailingText, 0},
        {"1e3", NumberText::TrailingText, 0},
        {"1.0", NumberText::TrailingText, 0},
        {"99999999999999999999999x", NumberText::TrailingText, 0},
    };
    for (const WholeCase& c : cases) {
        int64_t value = -99;
        EXPECT_EQ(c.result, ParseWholeNumber(c.text, int64_t(0), int64_t(255), value)) << "\"" << c.text << "\"";
        EXPECT_EQ(c.result == NumberText::Ok ? c.value : -99, value) << "\"" << c.text << "\"";
    }
}

TEST(NumberText, WholeNumbersReachBothEndsOfSixtyFourBits)
{
    const int64_t low = std::numeric_limits<int64_t>::min(), high = std::numeric_limits<int64_t>::max();
    int64_t value = 0;
    EXPECT_EQ(NumberText::Ok, ParseWholeNumber("-9223372036854775808", low, high, value));
    EXPECT_EQ(low, value);
    EXPECT_EQ(NumberText::Ok, ParseWholeNumber("9223372036854775807", low, high, value));
    EXPECT_EQ(high, value);
    EXPECT_EQ(NumberText::OutOfRange, ParseWholeNumber("-9223372036854775809", low, high, value));
    EXPECT_EQ(NumberText::OutOfRange, ParseWholeNumber("9223372036854775808", low, high, value));
    EXPECT_EQ(NumberText::OutOfRange, ParseWholeNumber("18446744073709551617", low, high, value));

    uint32_t seed = 0;
    EXPECT_EQ(NumberText::Ok, ParseWholeNumber("4294967295", 0u, UINT32_MAX, seed));
    EXPECT_EQ(UINT32_MAX, seed);
    EXPECT_EQ(NumberText::OutOfRange, ParseWholeNumber("4294967296", 0u, UINT32_MAX, seed));
    EXPECT_EQ(UINT32_MAX, seed) << "a failed parse leaves the value alone";
}

struct DecimalCase {
    const char* text;
    NumberText result;
    float value;  // when the result is Ok
};

TEST(NumberText, DecimalNumbersTakeDecimalFormsAndInfinityOnly)
{
    const float inf = std::numeric_limits<float>::infinity();
    const DecimalCase cases[] = {
        {"1", NumberText::Ok, 1.0f},
        {"-2.5", NumberText::Ok, -2.5f},
        {"+.5", NumberText::Ok, 0.5f},
        {"5.", NumberText::Ok, 5.0f},
        {"1e3", NumberText::Ok, 1000.0f},
        {"1E-2", NumberText::Ok, 0.01f},
        {"1e-50", NumberText::Ok, 0.0f},
        {"inf", NumberText::Ok, inf},
        {"-Infinity", NumberText::Ok, -inf},
        {"3.4028235e38", NumberText::Ok, std::numeric_limits<float>::max()},
        {"1e39", NumberText::OutOfRange, 0.0f},
        {"-1e39", NumberText::OutOfRange, 0.0f},
        {"", NumberText::NotANumber, 0.0f},
        {".", NumberText::NotANumber, 0.0f},
        {"-", NumberText::NotANumber, 0.0f},
        {"nan", NumberText::NotANumber, 0.0f},
        {" 1", NumberText::NotANumber, 0.0f},
        {"1 ", NumberText::TrailingText, 0.0f},
        {"1e", NumberText::TrailingText, 0.0f},
        {"1.5.2", NumberText::TrailingText, 0.0f},
        {"0x1p3", NumberText::TrailingText, 0.0f},
        {"infx", NumberText::TrailingText, 0.0f},
        {"1,5", NumberText::TrailingText, 0.0f},
    };
    for (const DecimalCase& c : cases) {
        float value = -99.0f;
        EXPECT_EQ(c.result, ParseDecimalNumber(c.text, -inf, inf, value)) << "\"" << c.text << "\"";
        EXPECT_EQ(c.result == NumberText::Ok ? c.value : -99.0f, value) << "\"" << c.text << "\"";
    }
}

TEST(NumberText, DecimalRangeEndsAreIncluded)
{
    float value = 0.0f;
    EXPECT_EQ(NumberText::Ok, ParseDecimalNumber("1", 1.0f, 10.0f, value));
    EXPECT_EQ(NumberText::Ok, ParseDecimalNumber("10.0", 1.0f, 10.0f, value));
    EXPECT_EQ(10.0f, value);
    EXPECT_EQ(NumberText::OutOfRange, ParseDecimalNumber("0.999", 1.0f, 10.0f, value));
    EXPECT_EQ(NumberText::OutOfRange, ParseDecimalNumber("10.001", 1.0f, 10.0f, value));
    EXPECT_EQ(NumberText::OutOfRange, ParseDecimalNumber("inf", 1.0f, 10.0f, value));
    EXPECT_EQ(10.0f, value);
}

}  // namespace
