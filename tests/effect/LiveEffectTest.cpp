// The live effect the editor's start-up and qprender both build: every setting reaches
// the system as start-up passes it, the cone only when on, and the system is the
// manager's one attached system whose pools start empty and grow.
#include <gtest/gtest.h>

#include "effect/LiveEffect.h"
#include "math/QRandom.h"

namespace {

EmitterSettings WithCone(bool on)
{
    EmitterSettings s = {
        {0.1f, 0.2f, 0.3f, 0.4f}, {0.5f, 0.6f, 0.7f, 0.8f}, 0.75f, 3.5f, -1, 2500, on, {1.5f, -2.5f, 4.0f}, 33.0f};
    return s;
}

TEST(LiveEffect, CarriesEverySettingAndTheConeOnlyWhenOn)
{
    for (bool cone : {false, true}) {
        const EmitterSettings s = WithCone(cone);
        LiveEffect effect(s, 9u);
        const QParticleSystem& system = effect.system;
        EXPECT_EQ(0.75f, system.size) << "cone " << cone;
        EXPECT_EQ(3.5f, system.velocity) << "cone " << cone;
        EXPECT_EQ(0u, system.lifetime) << "cone " << cone << ": -1 ms lives 0 ms";
        EXPECT_EQ(2500u, system.emitRate) << "cone " << cone;
        EXPECT_EQ(9u, system.texture) << "cone " << cone;
        EXPECT_EQ(0.3f, system.startColor.b) << "cone " << cone;
        EXPECT_EQ(0.8f, system.endColor.a) << "cone " << cone;
        EXPECT_EQ(0.0f, system.position.x) << "cone " << cone;
        EXPECT_FALSE(system.removeWhenEmpty) << "cone " << cone;
        EXPECT_EQ(cone, system.coneEnabled);
        EXPECT_EQ(cone ? 33.0f : 0.0f, system.coneAngle) << "cone " << cone;
        EXPECT_EQ(&system, effect.manager.systems) << "cone " << cone;
        EXPECT_EQ(nullptr, system.next) << "cone " << cone;
        EXPECT_EQ(0u, effect.manager.ParticleNodeCount()) << "cone " << cone << ": no pre-filled pool";
    }
}

TEST(LiveEffect, MakingItDrawsNoRandomNumbers)
{
    QSeedRandom(1);
    const int first = QRand();
    QSeedRandom(1);
    LiveEffect effect(WithCone(true), 0u);
    EXPECT_EQ(first, QRand());
    effect.manager.UpdateAll(100);
    effect.manager.UpdateAll(100);
    EXPECT_EQ(250u, effect.manager.ParticleNodeCount()) << "100 ms due at 2500 per second, from a pool that grew";
}

}  // namespace
