#include "math/LittleEndian.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

TEST(LittleEndian, LeastSignificantByteComesFirst)
{
    std::vector<unsigned char> bytes;
    AppendLE16(bytes, 0x1000);
    AppendLE32(bytes, 0x12345678u);
    const std::vector<unsigned char> expected = {0x00, 0x10, 0x78, 0x56, 0x34, 0x12};
    EXPECT_EQ(expected, bytes);
    EXPECT_EQ(0x1000u, ReadLE16(bytes.data()));
    EXPECT_EQ(0x12345678u, ReadLE32(bytes.data() + 2));

    unsigned char one[4];
    WriteLEFloat(one, 1.0f);  // 0x3f800000
    EXPECT_EQ(0x00, one[0]);
    EXPECT_EQ(0x00, one[1]);
    EXPECT_EQ(0x80, one[2]);
    EXPECT_EQ(0x3f, one[3]);
}

TEST(LittleEndian, EveryBitPatternComesBack)
{
    unsigned char bytes[4];
    for (uint32_t value : {0u, 1u, 0x80u, 0xffffu, 0x10000u, 0x7fffffffu, 0x80000000u, 0xffffffffu}) {
        WriteLE32(bytes, value);
        EXPECT_EQ(value, ReadLE32(bytes));
        WriteLE16(bytes, uint16_t(value));
        EXPECT_EQ(uint16_t(value), ReadLE16(bytes));
    }
    for (uint32_t pattern : {0x00000000u, 0x80000000u, 0x3f800000u, 0x7f800000u, 0xff800000u, 0x00000001u, 0x7fc00000u,
                             0x7fa12345u, 0xffffffffu}) {
        float value;
        std::memcpy(&value, &pattern, 4);
        WriteLEFloat(bytes, value);
        const float back = ReadLEFloat(bytes);
        uint32_t backPattern;
        std::memcpy(&backPattern, &back, 4);
        EXPECT_EQ(pattern, backPattern) << "a float's bits, NaN payloads too, come through unchanged";
    }
}

}  // namespace
