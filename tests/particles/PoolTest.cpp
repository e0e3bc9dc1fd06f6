#include "ParticleTestSupport.h"

#include <gtest/gtest.h>

TEST(QParticlePool, FixedPoolHoldsCountPlusOneAndGivesNoMore)
{
    QParticleManager m(4, 2, false);
    EXPECT_EQ(5u, Length(m.freeParticles));
    EXPECT_EQ(3u, Length(m.freeBatches));
    auto s = NewSystem(1000);
    m.Add(s.get());
    for (int i = 0; i < 30; ++i)
        m.UpdateAll(16);
    // The first emission got all five particles (a short chain); later batches found
    // none and went straight back.
    EXPECT_EQ(5u, Live(*s));
    EXPECT_EQ(1u, Length(s->batches));
    EXPECT_EQ(2u, Length(m.freeBatches));
    EXPECT_EQ(nullptr, m.AllocParticles(1));
    EXPECT_EQ(5u, m.ParticleNodeCount());

    QParticleManager none(0, 0, false);
    EXPECT_EQ(nullptr, none.AllocBatch());
    EXPECT_EQ(nullptr, none.AllocParticles(1));
}

TEST(QParticlePool, AllocTakesTheFirstFreeNodesInOrderAndReleaseSplicesThemBack)
{
    QParticleManager m(9, 0, false);
    QParticle* first = m.freeParticles;
    EXPECT_EQ(nullptr, m.AllocParticles(0));
    EXPECT_EQ(first, m.freeParticles);
    QParticle* taken = m.AllocParticles(3);
    ASSERT_EQ(first, taken);
    EXPECT_EQ(first + 1, taken->next) << "pre-filled nodes lie side by side";
    EXPECT_EQ(nullptr, first[2].next);
    EXPECT_EQ(first + 3, m.freeParticles);
    m.ReleaseParticles(nullptr);
    m.ReleaseParticles(taken);
    EXPECT_EQ(first, m.freeParticles);
    EXPECT_EQ(first + 3, first[2].next);
    EXPECT_EQ(10u, Length(m.freeParticles));
}

TEST(QParticlePool, GrowableEmissionsReuseNodesOnceBatchesDie)
{
    QParticleManager m(0, 0, true);
    QParticle* grown = m.AllocParticles(300);
    for (QParticle* p = grown; p->next != nullptr; p = p->next)
        ASSERT_EQ(p + 1, p->next) << "a grown chain is contiguous";
    m.ReleaseParticles(grown);
    auto s = NewSystem(100, 500);
    m.Add(s.get());
    for (int i = 0; i < 10; ++i)
        m.UpdateAll(250);
    const uint64_t nodes = m.ParticleNodeCount(), batches = m.BatchNodeCount();
    const size_t bytes = m.PoolBytes();
    for (int i = 0; i < 100; ++i)
        m.UpdateAll(250);
    EXPECT_EQ(nodes, m.ParticleNodeCount());
    EXPECT_EQ(batches, m.BatchNodeCount());
    EXPECT_EQ(bytes, m.PoolBytes());
    EXPECT_EQ(50u, Live(*s));
}

TEST(QParticlePool, BudgetStopsGrowthLikeAFailedAllocation)
{
    EXPECT_EQ(size_t(512) << 20, QParticleManager(0, 0, true).MemoryBudget());
    QParticleManager m(0, 0, true, 1000);
    QParticle* chain = m.AllocParticles(100);
    const uint32_t got = Length(chain);
    EXPECT_LE(got * sizeof(QParticle), 1000u);
    EXPECT_GE((got + 2) * sizeof(QParticle), 1000u);
    EXPECT_EQ(nullptr, m.AllocParticles(1));
    EXPECT_EQ(nullptr, m.AllocBatch());
    m.SetMemoryBudget(QParticleManager::DEFAULT_MEMORY_BUDGET);
    EXPECT_NE(nullptr, m.AllocBatch());
    m.ReleaseParticles(chain);
    EXPECT_EQ(got, Length(QParticleManager(100, 0, false, 1000).freeParticles));

    // A huge rate fills the budget and no more.
    QParticleManager small(0, 0, true, 1 << 20);
    auto s = NewSystem(4000000000u);
    small.Add(s.get());
    for (int i = 0; i < 40; ++i)
        small.UpdateAll(16);
    EXPECT_LE(small.PoolBytes(), size_t(1) << 20);
    EXPECT_GT(Live(*s), (1u << 20) / sizeof(QParticle) * 9 / 10);
}
