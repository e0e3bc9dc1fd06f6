// The effect settings as text: floats printed short and read back to the same bits.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "effect/EffectText.h"

namespace {

float FromBits(uint32_t u)
{
    float f;
    memcpy(&f, &u, sizeof f);
    return f;
}

uint32_t Bits(float f)
{
    uint32_t u;
    memcpy(&u, &f, sizeof u);
    return u;
}

}  // namespace

TEST(EffectText, FloatsPrintAsTheShortestTextThatReadsBack)
{
    const std::pair<uint32_t, const char*> cases[] = {
        {0x3e4ccccdu, "0.2"},
        {0x80000000u, "-0"},
        {0x00000001u, "1e-45"},
        {0x00800000u, "1.1754944e-38"},
        {0x7f7fffffu, "3.4028235e+38"},
        {0x3eaaaaabu, "0.33333334"},
        {0x4cbebc20u, "1e+08"},
        {0x7f800000u, "inf"},
        {0xff800000u, "-inf"},
        {0x7fc00000u, "nan"},
        {0xffc00000u, "nan(0xffc00000)"},
        {0x7f800001u, "nan(0x7f800001)"},
    };
    for (const auto& c : cases) {
        const std::string text = FormatFloat(FromBits(c.first));
        EXPECT_EQ(c.second, text) << std::hex << "bits 0x" << c.first;
        float back = 0;
        ASSERT_TRUE(ParseFloat(text, back)) << text;
        EXPECT_EQ(c.first, Bits(back)) << "read back from " << text;
    }
}
