#include "ParticleTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>

TEST(QParticleLifetime, BatchAgesSixtyTwoTimesAtSixteenMillisecondsThenDies)
{
    QParticleManager m(0, 0, true);
    const Color4 start{1.0f, 0.5f, 0.0f, 1.0f}, end{0.0f, 0.5f, 1.0f, 0.0f};
    const Vec3 origin{0.0f, 0.0f, 0.0f};
    QParticleSystem s(&origin, 1.0f, 7u, &start, &end, 0.02f, 1000u, false, 100u);
    m.Add(&s);
    m.UpdateAll(16);
    m.UpdateAll(16);
    QParticleBatch* batch = s.batches;
    ASSERT_EQ(1u, Length(batch->particles));
    EXPECT_EQ(984u, batch->lifeLeft) << "aged in the update that emitted it";
    for (int update = 3; update <= 63; ++update)
        m.UpdateAll(16);
    EXPECT_EQ(8u, batch->lifeLeft);
    EXPECT_NEAR(0.008f, batch->color.r, 1e-5f);
    EXPECT_NEAR(0.992f, batch->color.b, 1e-5f);
    m.UpdateAll(16);
    for (QParticleBatch* b = s.batches; b != nullptr; b = b->next)
        ASSERT_NE(batch, b) << "dies in update 64: 8 ms left is less than 16";
    EXPECT_EQ(batch, m.freeBatches);
}

TEST(QParticleLifetime, ZeroTimeKillsNothingAndZeroLifetimeKeepsColoursFinite)
{
    QParticleManager m(0, 0, true);
    auto s = NewSystem(0, 32);
    m.Add(s.get());
    s->Emit(3);
    m.UpdateAll(16);
    m.UpdateAll(16);
    ASSERT_NE(nullptr, s->batches) << "exactly used up: still alive";
    const float x = s->batches->particles->position.x;
    m.UpdateAll(0);
    ASSERT_NE(nullptr, s->batches);
    EXPECT_EQ(x, s->batches->particles->position.x);
    m.UpdateAll(1);
    EXPECT_EQ(nullptr, s->batches);

    s->SetLifetime(0);
    s->Emit(2);
    m.UpdateAll(0);
    ASSERT_NE(nullptr, s->batches) << "a 0 ms update kills nothing, even with no life";
    EXPECT_EQ(0.0f, s->batches->colorStep.a);
    m.UpdateAll(1);
    EXPECT_EQ(nullptr, s->batches);
    EXPECT_EQ(3u, m.ParticleNodeCount()) << "later batches reuse the nodes";
    s->SetEmitRate(1000);  // 34 ms counted so far: 34 particles due at once
    m.UpdateAll(16);
    EXPECT_EQ(nullptr, s->batches) << "dead in the update that emitted it";
    EXPECT_EQ(34u, m.ParticleNodeCount());
    s->SetEmitRate(0);

    // The difference of these overflows a float: the step falls back to 0.
    const Color4 low{-3e38f, 0.0f, 0.0f, 1.0f}, high{3e38f, 0.0f, 0.0f, 1.0f};
    s->SetColors(&low, &high);
    s->SetLifetime(1);
    s->Emit(1);
    m.UpdateAll(1);
    EXPECT_TRUE(std::isfinite(s->batches->color.r));
}

TEST(QParticleLifetime, SettingsChangesReachOnlyLaterBatches)
{
    QParticleManager m(0, 0, true);
    auto s = NewSystem(0, 1000, 2.0f);
    m.Add(s.get());
    s->Emit(4);
    QParticleBatch* old = s->batches;
    const Vec3 v = old->particles->velocity, elsewhere{5.0f, 5.0f, 5.0f};
    const Color4 red{1.0f, 0.0f, 0.0f, 1.0f}, blue{0.0f, 0.0f, 1.0f, 1.0f};
    s->SetColors(&red, &blue);
    s->SetLifetime(4000);
    s->SetVelocity(0.0f);
    s->SetPosition(&elsewhere);
    s->Emit(4);
    m.UpdateAll(100);
    EXPECT_TRUE(old->colorStep.a == -1.0f && old->lifeLeft == 900u && old->particles->velocity.x == v.x);
    EXPECT_FLOAT_EQ(0.1f * v.x, old->particles->position.x) << "live particles don't follow the emitter";
    EXPECT_TRUE(s->batches->lifeLeft == 3900u && s->batches->colorStep.r == -0.25f);
    EXPECT_EQ(5.0f, s->batches->particles->position.y) << "velocity 0 stays at the emitter";
}

TEST(QParticleMotion, EveryLiveParticleMovesOnceByItsOwnVelocity)
{
    // Three pre-filled nodes and uneven frames: chains mix pre-filled, grown and reused runs.
    QParticleManager m(2, 0, true);
    auto s = NewSystem(3000, 200, 5.0f);
    m.Add(s.get());
    uint64_t checked = 0;
    for (uint32_t t : {16u, 33u, 7u, 50u, 16u, 0u, 120u, 16u, 16u, 90u, 16u, 3u, 16u}) {
        std::map<const QParticleBatch*, std::map<const QParticle*, QParticle>> before;
        for (const QParticleBatch* b = s->batches; b != nullptr; b = b->next)
            for (const QParticle* p = b->particles; p != nullptr; p = p->next)
                before[b][p] = *p;
        m.UpdateAll(t);
        const float sec = static_cast<float>(t / 1000.0);
        for (const QParticleBatch* b = s->batches; b != nullptr; b = b->next) {
            const auto old = before.find(b);
            for (const QParticle* p = b->particles; p != nullptr; p = p->next, ++checked) {
                // A batch emitted in this update started at the emitter, (0, 0, 0).
                const QParticle was =
                    old != before.end() ? old->second.at(p) : QParticle{{}, p->velocity, nullptr};
                ASSERT_EQ(0, std::memcmp(&was.velocity, &p->velocity, sizeof(Vec3))) << "t " << t;
                ASSERT_EQ(was.position.x + sec * was.velocity.x, p->position.x) << "t " << t;
                ASSERT_EQ(was.position.y + sec * was.velocity.y, p->position.y) << "t " << t;
                ASSERT_EQ(was.position.z + sec * was.velocity.z, p->position.z) << "t " << t;
            }
        }
    }
    EXPECT_GT(checked, 3000u);
}
