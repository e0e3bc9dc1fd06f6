// The text form of the settings: floats that read back to the same bits,
// assignments applied whole or not at all, and bit-exact field diffs.

#include <gtest/gtest.h>

#include <cstring>

#include "app/EmitterSettings.h"
#include "tools/qptool/EffectText.h"

namespace {

uint32_t Bits(float f)
{
    uint32_t u;
    memcpy(&u, &f, sizeof u);
    return u;
}

float FromBits(uint32_t u)
{
    float f;
    memcpy(&f, &u, sizeof f);
    return f;
}

}  // namespace

TEST(FloatText, EveryBitPatternReadsBackExactly)
{
    // Signed zeros, subnormals, FLT_MIN/MAX, the defaults 0.02 and 0.2, infinities,
    // quiet, negative, signalling and payload NaNs, then a sweep of patterns.
    std::vector<uint32_t> patterns = {0x00000000u, 0x80000000u, 0x00000001u, 0x807fffffu, 0x00800000u,
                                      0x7f7fffffu, 0x3ca3d70au, 0x3e4ccccdu, 0x7f800000u, 0xff800000u,
                                      0x7fc00000u, 0xffc00000u, 0x7f800001u, 0x7fc12345u};
    for (uint32_t state = 1, i = 0; i < 200000; ++i) patterns.push_back(state = state * 1664525u + 1013904223u);
    for (uint32_t bits : patterns) {
        const std::string text = FormatFloat(FromBits(bits));
        float back = 0.0f;
        ASSERT_TRUE(ParseFloat(text, back)) << std::hex << bits << " printed as " << text;
        ASSERT_EQ(bits, Bits(back)) << "printed as " << text;
    }
    EXPECT_EQ("0.0199999996", FormatFloat(0.02f));
    EXPECT_EQ("nan(0xffc00000)", FormatFloat(FromBits(0xffc00000u)));
}

TEST(FloatText, RefusesWhatIsNotExactlyOneFloat)
{
    for (const char* text : {"", "1.0x", "1e39", "1,0", "nan(0x3f800000)", "nan(0x7fc0000)", "nan(0x+7fc0000)"}) {
        float value = 7.0f;
        EXPECT_FALSE(ParseFloat(text, value)) << "'" << text << "'";
        EXPECT_EQ(7.0f, value) << "'" << text << "' changed the value";
    }
}

TEST(EffectAssignments, ChangeOnlyTheNamedFieldsAndComponents)
{
    EmitterSettings s = DefaultEmitterSettings();
    std::string error;
    ASSERT_TRUE(ApplyAssignments(s, {"startColor=0.5, 0.25 0,1", "endColor.a=0.75", "lifetime=-7", "velocity=-0",
                                     "coneAngle=30", "coneDirection.y=2", "cone=on"},
                                 error))
        << error;
    EXPECT_EQ(0.25f, s.startColor.g);
    EXPECT_EQ(1.0f, s.endColor.r);
    EXPECT_EQ(0.75f, s.endColor.a);
    EXPECT_EQ(-7, s.lifetime);
    EXPECT_EQ(0x80000000u, Bits(s.velocity));
    EXPECT_EQ(30.0f, s.coneAngle) << "the cone may come on after its angle";
    EXPECT_EQ(2.0f, s.coneDirection.y);
    EXPECT_EQ(-1.0f, s.coneDirection.z);
    EXPECT_EQ(0.02f, s.size);
}

TEST(EffectAssignments, RefuseBadOnesAndChangeNothing)
{
    struct Case {
        std::vector<std::string> assignments;
        const char* says;
    } cases[] = {
        {{"size=0.5", "lifetime=2147483648"}, "whole number"},
        {{"emitRate=1.5"}, "whole number"},
        {{"size"}, "expected name=value"},
        {{"startColor.x=1"}, "no such field"},
        {{"size.r=1"}, "no such field"},
        {{"startColor=1,,1,1,1"}, "4 numbers"},
        {{"startColor=1,1,1,1,"}, "4 numbers"},
        {{"size=1e40"}, "32-bit float"},
        {{"cone=yes"}, "on or off"},
        {{"cone=on", "coneAngle=90.001"}, "0 to 90"},
        {{"cone=on", "coneAngle=nan"}, "0 to 90"},
        {{"coneAngle=30"}, "only with cone=on"},
        {{"cone=on", "coneDirection.x=1", "cone=off"}, "only with cone=on"},
    };
    const EmitterSettings before = DefaultEmitterSettings();
    for (const Case& c : cases) {
        EmitterSettings s = before;
        std::string error;
        EXPECT_FALSE(ApplyAssignments(s, c.assignments, error)) << c.assignments.back();
        EXPECT_NE(std::string::npos, error.find(c.says)) << c.assignments.back() << ": " << error;
        EXPECT_EQ(0, memcmp(&before, &s, sizeof s)) << c.assignments.back() << " changed the settings";
    }
}

TEST(EffectDiff, ComparesBitsAndTreatsAnUnstoredConeAsAbsent)
{
    EmitterSettings a = DefaultEmitterSettings(), b = DefaultEmitterSettings();
    b.velocity = -0.0f;
    a.velocity = 0.0f;
    a.startColor.g = b.startColor.g = FromBits(0x7fc12345u);  // the same NaN is the same value
    a.coneAngle = 10.0f;                                       // not stored while the cone is off
    b.coneEnabled = true;
    b.coneAngle = 45.0f;
    const std::vector<std::string> expected = {"velocity: 0 -> -0", "cone: off -> on",
                                               "coneDirection: (absent) -> 0, 0, -1", "coneAngle: (absent) -> 45"};
    EXPECT_EQ(expected, DiffEffects(a, b));
}
