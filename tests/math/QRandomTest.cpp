#include "math/QRandom.h"

#include <gtest/gtest.h>

TEST(QRandom, SeedOneGivesTheClassicFifteenBitSequenceAndReseedRepeatsIt)
{
    for (int round = 0; round < 2; ++round) {
        QSeedRandom(1);
        for (int expected : {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358})
            EXPECT_EQ(expected, QRand()) << "round " << round;
    }
}
