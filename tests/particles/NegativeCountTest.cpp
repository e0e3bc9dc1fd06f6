// Rates and lifetimes come from the settings' signed counts as their bits: a negative
// rate emits nothing and a negative lifetime lives 0 ms, whether given at construction
// or through the setters, while the largest signed counts keep their value.
#include "ParticleTestSupport.h"

#include <gtest/gtest.h>

namespace {

uint32_t Bits(int32_t count)
{
    return static_cast<uint32_t>(count);
}

}  // namespace

TEST(QParticleCounts, NegativeRateEmitsNothing)
{
    for (int32_t rate : {-5, -1, -2147483647 - 1}) {
        QParticleManager m(0, 0, true);
        auto built = NewSystem(Bits(rate));
        auto set = NewSystem(100);
        set->SetEmitRate(Bits(rate));
        EXPECT_EQ(0u, built->emitRate) << "rate " << rate << " at construction";
        EXPECT_EQ(0u, set->emitRate) << "rate " << rate << " through SetEmitRate";
        m.Add(built.get());
        m.Add(set.get());
        for (int i = 0; i < 200; ++i)
            m.UpdateAll(16);
        EXPECT_EQ(0u, Live(*built)) << "rate " << rate << " after 3.2 s";
        EXPECT_EQ(0u, Live(*set)) << "rate " << rate << " after 3.2 s";
        EXPECT_EQ(0u, m.ParticleNodeCount()) << "rate " << rate << ": the pools never grew";
    }
}

TEST(QParticleCounts, NegativeLifetimeDiesInTheUpdateThatEmits)
{
    for (int32_t lifetime : {-100, -1, -2147483647 - 1}) {
        QParticleManager m(0, 0, true);
        auto built = NewSystem(1000, Bits(lifetime));
        auto set = NewSystem(1000);
        set->SetLifetime(Bits(lifetime));
        EXPECT_EQ(0u, built->lifetime) << "lifetime " << lifetime << " at construction";
        EXPECT_EQ(0u, set->lifetime) << "lifetime " << lifetime << " through SetLifetime";
        m.Add(built.get());
        m.Add(set.get());
        for (int i = 0; i < 100; ++i) {
            m.UpdateAll(16);
            ASSERT_EQ(0u, Live(*built)) << "lifetime " << lifetime << ", update " << i;
            ASSERT_EQ(0u, Live(*set)) << "lifetime " << lifetime << ", update " << i;
        }
        EXPECT_EQ(16u, m.ParticleNodeCount()) << "lifetime " << lifetime << ": each emission of 16 goes straight back";
    }
}

TEST(QParticleCounts, LargestSignedCountsKeepTheirValue)
{
    auto s = NewSystem(2147483647u, 2147483647u);
    EXPECT_EQ(2147483647u, s->emitRate);
    EXPECT_EQ(2147483647u, s->lifetime);
    s->SetEmitRate(0);
    s->SetLifetime(0);
    EXPECT_EQ(0u, s->emitRate);
    EXPECT_EQ(0u, s->lifetime);
}
