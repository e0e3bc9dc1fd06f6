#include "ParticleTestSupport.h"

#include <gtest/gtest.h>

namespace {

// One system alone in its manager; particles never die here, so the live count is
// everything emitted.
struct Emitter {
    QParticleManager manager;
    std::unique_ptr<QParticleSystem> system;
    explicit Emitter(uint32_t rate, bool growable = true) : manager(0, 0, growable), system(NewSystem(rate))
    {
        manager.Add(system.get());
    }
    uint32_t Step(uint32_t t)  // how many one update emitted
    {
        const uint32_t before = Live(*system);
        manager.UpdateAll(t);
        return Live(*system) - before;
    }
};

}  // namespace

TEST(QParticleEmission, KnownSequencesAtFixedFrames)
{
    Emitter e(100), quarter(100), slow(1);
    const uint32_t expected[] = {0, 1, 2, 1, 2, 2, 1, 2, 1, 2};
    for (int i = 0; i < 64; ++i) {
        const uint32_t n = e.Step(16);
        EXPECT_TRUE(i >= 10 || n == expected[i]) << "update " << i + 1 << " emitted " << n;
    }
    EXPECT_EQ(100u, Live(*e.system));
    for (int i = 64; i < 70; ++i)
        e.Step(16);
    EXPECT_EQ(110u, Live(*e.system));

    EXPECT_EQ(0u, quarter.Step(250));
    for (int i = 2; i <= 9; ++i) {
        EXPECT_EQ(25u, quarter.Step(250)) << "update " << i;
        if (i == 4) {
            EXPECT_TRUE(quarter.system->secondElapsed == 0 && quarter.system->secondEmitted == -25)
                << "the second closes at 1000 ms, 25 short";
        }
    }

    std::vector<int> emitting;
    for (int i = 1; i <= 200; ++i)
        if (slow.Step(16) != 0)
            emitting.push_back(i);
    EXPECT_EQ((std::vector<int>{64, 126, 189}), emitting);
}

TEST(QParticleEmission, TotalIsTimeCountedBeforeEachUpdateTimesRateForAnyFrames)
{
    for (uint32_t rate : {1u, 7u, 100u, 999u, 4321u}) {
        Emitter e(rate);
        uint32_t seed = rate;
        uint64_t counted = 0;
        for (int i = 0; i < 150; ++i) {
            seed = seed * 1103515245u + 12345u;
            const uint32_t t = (seed >> 8) % 1000u;  // 0 to 999 ms
            e.manager.UpdateAll(t);
            ASSERT_EQ(counted * rate / 1000u, Live(*e.system)) << "rate " << rate << " update " << i;
            counted += t;
        }
    }
}

TEST(QParticleEmission, PausesAndWideCountsFollowTheSecondsCounters)
{
    Emitter paused(100);
    EXPECT_EQ(0u, paused.Step(3000));
    EXPECT_EQ(2000u, paused.system->secondElapsed) << "one second closes per update";
    EXPECT_EQ(300u, paused.Step(16));
    EXPECT_EQ(1u, Length(paused.system->batches)) << "as a single batch";

    Emitter wide(131080);  // 500 ms of it is 65540 particles
    wide.Step(500);
    EXPECT_EQ(4u, wide.Step(16)) << "the count modulo 65536";
    EXPECT_EQ(65540, wide.system->secondEmitted);

    Emitter wrapped(5000000u);  // 900 ms x 5,000,000 wraps at 2^32: 205032 due
    wrapped.Step(900);
    EXPECT_EQ(8424u, wrapped.Step(16));
    EXPECT_EQ(205032, wrapped.system->secondEmitted);
}

TEST(QParticleEmission, RateChangesKeepTheCountersAndMissedParticlesStayMissed)
{
    Emitter lowered(1000), raised(100), fed(100), starved(100, false);
    for (int i = 0; i < 6; ++i)
        lowered.Step(100);
    lowered.system->SetEmitRate(100);
    EXPECT_EQ(600u, lowered.system->secondElapsed);
    // A surplus of 500 holds the due count at 0 until four more seconds have closed.
    for (int i = 7; i <= 51; ++i)
        ASSERT_EQ(0u, lowered.Step(100)) << "update " << i;
    EXPECT_EQ(10u, lowered.Step(100));

    for (int i = 0; i < 5; ++i)
        raised.Step(100);
    raised.system->SetEmitRate(1000);
    EXPECT_EQ(460u, raised.Step(100)) << "the difference comes at once";

    for (int i = 0; i < 50; ++i) {
        fed.Step(70);
        starved.Step(70);
        ASSERT_EQ(fed.system->secondEmitted, starved.system->secondEmitted) << "update " << i;
    }
    EXPECT_EQ(nullptr, starved.system->batches);
    EXPECT_EQ(343u, Live(*fed.system));
}
