// The cost worked out on counts against the engine itself: the same effect run by
// the particle system in frames of the same length reaches the same peak, the same
// settled low and the same pools, for the presets and for rates from 10 to 100,000 a
// second; and the pixels a particle covers in the editor's view.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>

#include "effect/EffectCost.h"
#include "effect/EffectText.h"
#include "effect/LiveEffect.h"
#include "effect/Presets.h"

namespace {

uint64_t Live(const QParticleManager& m)
{
    uint64_t n = 0;
    for (const QParticleSystem* s = m.systems; s != nullptr; s = s->next)
        for (const QParticleBatch* b = s->batches; b != nullptr; b = b->next)
            for (const QParticle* p = b->particles; p != nullptr; p = p->next)
                ++n;
    return n;
}

// The effect as LiveEffect builds it, in pools of `budget` bytes.
struct BudgetedEffect {
    BudgetedEffect(const EmitterSettings& s, size_t budget)
        : manager(0, 0, true, budget),
          system(&origin, s.velocity, 0u, &s.startColor, &s.endColor, s.size, uint32_t(s.lifetime), false,
                 uint32_t(s.emitRate))
    {
        manager.Add(&system);
    }
    const Vec3 origin{0.0f, 0.0f, 0.0f};
    QParticleManager manager;
    QParticleSystem system;
};

// Runs the engine over the frames the cost followed and checks every count.
void ExpectSameAsTheEngine(const EmitterSettings& s, uint32_t step, const std::string& what,
                           size_t budget = QParticleManager::DEFAULT_MEMORY_BUDGET)
{
    const EffectCost cost = MeasureEffectCost(s, step, budget);
    ASSERT_TRUE(cost.settled) << what;
    BudgetedEffect effect(s, budget);
    const uint64_t period = 1000 / std::gcd(1000u, step);
    uint64_t peak = 0, low = UINT64_MAX;
    for (uint64_t frame = 1; frame <= cost.frames; ++frame) {
        effect.manager.UpdateAll(step);
        const uint64_t live = Live(effect.manager);
        peak = std::max(peak, live);
        if (frame + period > cost.frames)
            low = std::min(low, live);
    }
    EXPECT_EQ(peak, cost.peakParticles) << what << ": peak";
    EXPECT_EQ(low, cost.steadyParticles) << what << ": settled low";
    EXPECT_EQ(effect.manager.ParticleNodeCount(), cost.particleNodes) << what << ": particle nodes";
    EXPECT_EQ(effect.manager.BatchNodeCount(), cost.batchNodes) << what << ": batch nodes";
    EXPECT_EQ(effect.manager.PoolBytes(), cost.poolBytes) << what << ": pool bytes";
    // Twice as long again: nothing new.
    for (uint64_t frame = 0; frame < cost.frames; ++frame) {
        effect.manager.UpdateAll(step);
        ASSERT_GE(cost.peakParticles, Live(effect.manager)) << what << ": later frame " << frame;
    }
    EXPECT_EQ(effect.manager.PoolBytes(), cost.poolBytes) << what << ": pool bytes later";
}

EmitterSettings Effect(int rate, int lifetime)
{
    EmitterSettings s = DefaultEmitterSettings();
    s.emitRate = rate;
    s.lifetime = lifetime;
    return s;
}

}  // namespace

TEST(EffectCost, PresetsCostWhatTheEngineRuns)
{
    for (size_t i = 0; i < effectPresetCount; ++i) {
        EmitterSettings s = DefaultEmitterSettings();
        std::string error;
        ASSERT_TRUE(ParseEffectText(effectPresets[i].text, "preset", s, error)) << error;
        for (uint32_t step : {16u, 33u})
            ExpectSameAsTheEngine(s, step, std::string(effectPresets[i].name) + " at " + std::to_string(step) + " ms");
    }
}

TEST(EffectCost, RatesFromTenToAHundredThousandCostWhatTheEngineRuns)
{
    const struct {
        int rate, lifetime;
        uint32_t step;
    } cases[] = {{10, 1000, 16},       {10, 4000, 7},     {100, 1000, 16},  {1000, 333, 16},    {1000, 333, 1},
                 {2500, 120, 40},      {10000, 700, 16},  {10000, 15, 16},  {100000, 1000, 16}, {100000, 250, 25},
                 {100000, 2000, 1000}, {99999, 999, 500}, {1, 100000, 250}, {7, 0, 16}};
    for (const auto& c : cases)
        ExpectSameAsTheEngine(Effect(c.rate, c.lifetime), c.step,
                              std::to_string(c.rate) + "/s for " + std::to_string(c.lifetime) + " ms at " +
                                  std::to_string(c.step) + " ms");
}

// Pools that reach their budget make fewer particles; the counts follow them exactly.
TEST(EffectCost, PoolsAtTheirBudgetCostWhatTheEngineRuns)
{
    for (size_t budget : {size_t(1) << 20, size_t(64) << 10, size_t(5000)})
        for (const auto& c : {std::pair<int, int>{2000, 30000}, {100000, 5000}, {300, 2000}})
            ExpectSameAsTheEngine(Effect(c.first, c.second), 16,
                                  std::to_string(c.first) + "/s for " + std::to_string(c.second) + " ms in " +
                                      std::to_string(budget) + " bytes",
                                  budget);
}

TEST(EffectCost, KnownPeaks)
{
    EXPECT_EQ(100u, MeasureEffectCost(Effect(100, 1000), 16).peakParticles) << "100/s for 1000 ms";
    EXPECT_EQ(320u, MeasureEffectCost(Effect(1000, 333), 16).peakParticles) << "1000/s for 333 ms";
    // 100,000 due in one frame of a second: a batch gets the low 16 bits of it, 34464,
    // and lives two frames.
    EXPECT_EQ(68928u, MeasureEffectCost(Effect(100000, 2000), 1000).peakParticles) << "100000/s, 1 s frames";
    EXPECT_EQ(100.0, MeasureEffectCost(Effect(100, 1000), 16).emittedPerSecond);
}

TEST(EffectCost, NegativeCountsCostNothingToKeep)
{
    const EffectCost rate = MeasureEffectCost(Effect(-5, 1000), 16);
    EXPECT_EQ(0u, rate.peakParticles) << "rate -5";
    EXPECT_EQ(0u, rate.poolBytes) << "rate -5";
    EXPECT_EQ(0.0, rate.emittedPerSecond) << "rate -5";
    const EffectCost life = MeasureEffectCost(Effect(100, -100), 16);
    EXPECT_EQ(0u, life.peakParticles) << "lifetime -100";
    EXPECT_EQ(100.0, life.emittedPerSecond) << "lifetime -100: made, and gone in the same frame";
}

TEST(EffectCost, PixelsOfOneParticleInTheEditorsView)
{
    EXPECT_EQ(768.0, ParticlePixels(0.02f, 1.0f)) << "32 x 24 pixels";
    EXPECT_EQ(768.0, ParticlePixels(-0.02f, 1.0f)) << "a negative size draws as large";
    EXPECT_EQ(192.0, ParticlePixels(0.02f, 2.0f)) << "twice as far: 16 x 12";
    EXPECT_EQ(307200.0, ParticlePixels(1.0f, 1.0f)) << "no more than the window";
    EXPECT_EQ(0.0, ParticlePixels(0.0f, 1.0f));
    const EffectCost cost = MeasureEffectCost(Effect(100, 1000), 16);
    EXPECT_EQ(76800.0, cost.peakPixels) << "100 particles of 768 pixels";
}
