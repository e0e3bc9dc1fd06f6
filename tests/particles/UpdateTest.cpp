#include "ParticleTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>

TEST(QParticleEmission, SequencesAndCountersForFramePatternsAndRates)
{
    struct Case {
        uint32_t rate, t, updates, rate2, t2, updates2;  // `updates` of t at rate, then `updates2` of t2 at rate2
        std::vector<uint32_t> last;                      // particles emitted by each of the last updates
        uint32_t total, secondElapsed;                   // live at the end (nothing dies here), and the counters
        int32_t secondEmitted;
    };
    const Case cases[] = {
        {100, 16, 10, 0, 0, 0, {0, 1, 2, 1, 2, 2, 1, 2, 1, 2}, 14, 160, 14},
        {100, 16, 64, 0, 0, 0, {2, 1}, 100, 24, 0},
        {100, 16, 70, 0, 0, 0, {}, 110, 120, 10},
        {100, 250, 4, 0, 0, 0, {0, 25, 25, 25}, 75, 0, -25},  // the second closes 25 short
        {100, 250, 9, 0, 0, 0, {25, 25, 25, 25, 25}, 200, 250, 0},
        // Rate 1 at 16 ms frames emits in updates 64, 126 and 189.
        {1, 16, 64, 0, 0, 0, {1}, 1, 24, 0},
        {1, 16, 126, 0, 0, 0, {1}, 2, 16, 0},
        {1, 16, 189, 0, 0, 0, {1}, 3, 24, 0},
        // A pause closes only one second per update; the next update makes up all of it.
        {100, 3000, 1, 100, 16, 1, {0, 300}, 300, 1016, 100},
        // 65540 due: Emit gets the low 16 bits, the counter the whole count.
        {131080, 500, 1, 131080, 16, 1, {0, 4}, 4, 516, 65540},
        // 900 x 5,000,000 wraps at 2^32: 205032 due, 8424 of them emitted.
        {5000000, 900, 1, 5000000, 16, 1, {0, 8424}, 8424, 916, 205032},
        // New rates keep the counters: a raise is made up at once, a cut's surplus of 500 waits out 4 seconds.
        {100, 100, 5, 1000, 100, 1, {0, 10, 10, 10, 10, 460}, 500, 600, 500},
        {1000, 100, 6, 100, 100, 46, {0, 10}, 510, 200, 10},
    };
    for (size_t row = 0; row < std::size(cases); ++row) {
        const Case& c = cases[row];
        SCOPED_TRACE(::testing::Message()
                     << "row " << row << ": rate " << c.rate << ", t " << c.t << " ms x " << c.updates << ", then rate "
                     << c.rate2 << ", t " << c.t2 << " ms x " << c.updates2);
        QParticleManager m(0, 0, true);
        auto s = NewSystem(0);
        m.Add(s.get());
        std::vector<uint32_t> emitted;
        for (uint32_t i = 0; i < c.updates + c.updates2; ++i) {
            s->SetEmitRate(i < c.updates ? c.rate : c.rate2);
            const uint32_t live = Live(*s), batches = Length(s->batches);
            m.UpdateAll(i < c.updates ? c.t : c.t2);
            emitted.push_back(Live(*s) - live);
            ASSERT_EQ(batches + (emitted.back() != 0), Length(s->batches))
                << "one batch per emitting update, update " << i;
        }
        emitted.erase(emitted.begin(), emitted.end() - c.last.size());
        EXPECT_EQ(c.last, emitted) << "emitted by the last updates";
        EXPECT_EQ(c.total, Live(*s)) << "live particles";
        EXPECT_EQ(c.secondElapsed, s->secondElapsed) << "secondElapsed";
        EXPECT_EQ(c.secondEmitted, s->secondEmitted) << "secondEmitted";
    }
}

TEST(QParticleLifetime, BatchDiesInTheFirstUpdateLongerThanItsLifeLeftWithFiniteColours)
{
    // Updates of t survived, then the update that kills the batch.
    const struct {
        uint32_t lifetime, t, agings, fatal;
    } cases[] = {{1000, 16, 62, 16}, {32, 16, 2, 1}, {0, 0, 3, 1}};
    QParticleManager m(0, 0, true);
    auto s = NewSystem(0);
    const Color4 start{-3e38f, 1.0f, 1.0f, 1.0f}, end{3e38f, 1.0f, 1.0f, 0.0f};  // red's difference overflows
    s->SetColors(&start, &end);
    m.Add(s.get());
    for (const auto& c : cases) {
        s->SetLifetime(c.lifetime);
        s->Emit(3);
        QParticleBatch* batch = s->batches;
        for (uint32_t i = 0; i < c.agings; ++i)
            m.UpdateAll(c.t);
        ASSERT_EQ(batch, s->batches) << "lifetime " << c.lifetime;
        EXPECT_EQ(c.lifetime - c.agings * c.t, batch->lifeLeft) << "lifetime " << c.lifetime;
        const float alpha = c.lifetime == 0 ? 1.0f : 1.0f - float(c.agings * c.t) / float(c.lifetime);
        EXPECT_NEAR(alpha, batch->color.a, 1e-5f) << "lifetime " << c.lifetime;
        EXPECT_TRUE(std::isfinite(batch->color.r)) << "colour, lifetime " << c.lifetime;
        EXPECT_TRUE(std::isfinite(batch->colorStep.r)) << "colour step, lifetime " << c.lifetime;
        m.UpdateAll(c.fatal);
        EXPECT_EQ(nullptr, s->batches) << "lifetime " << c.lifetime;
        EXPECT_EQ(batch, m.freeBatches) << "lifetime " << c.lifetime;
    }
    EXPECT_EQ(3u, m.ParticleNodeCount()) << "later batches reuse the nodes";
}

TEST(QParticleMotion, EveryLiveParticleMovesOnceByItsOwnVelocity)
{
    // Pre-filled nodes, uneven frames and deaths mix pre-filled, grown and reused runs in the chains.
    QParticleManager m(2, 0, true);
    auto s = NewSystem(3000, 200, 5.0f);
    m.Add(s.get());
    for (uint32_t t : {16u, 33u, 7u, 50u, 16u, 0u, 120u, 16u, 16u, 90u, 16u, 3u, 16u}) {
        std::map<const QParticle*, QParticle> before;
        for (const QParticleBatch* b = s->batches; b != nullptr; b = b->next)
            for (const QParticle* p = b->particles; p != nullptr; p = p->next)
                before[p] = *p;
        s->SetVelocity(t == 120u ? 0.0f : 5.0f);  // reaches only later batches
        m.UpdateAll(t);
        const float sec = static_cast<float>(t / 1000.0);
        for (const QParticleBatch* b = s->batches; b != nullptr; b = b->next)
            for (const QParticle* p = b->particles; p != nullptr; p = p->next) {
                // A node free before the update holds a particle emitted in it, from (0, 0, 0).
                const auto old = before.find(p);
                const QParticle was = old != before.end() ? old->second : QParticle{{}, p->velocity, nullptr};
                const Vec3 v = was.velocity,
                           at{was.position.x + sec * v.x, was.position.y + sec * v.y, was.position.z + sec * v.z};
                ASSERT_EQ(0, std::memcmp(&v, &p->velocity, sizeof v)) << "velocity bits, t " << t << " ms";
                ASSERT_EQ(0, std::memcmp(&at, &p->position, sizeof at)) << "position bits, t " << t << " ms";
            }
    }
    EXPECT_GT(Live(*s), 500u);
}
