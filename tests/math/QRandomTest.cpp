#include "math/QRandom.h"

#include <gtest/gtest.h>

TEST(QRandom, SeedOneGivesTheClassicFifteenBitSequenceAndReseedRepeatsIt)
{
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358};
    for (int round = 0; round < 2; ++round) {
        QSeedRandom(1);
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(expected[i], QRand()) << "round " << round << " draw " << i;
    }
}
