#include "ParticleTestSupport.h"

#include "math/QRandom.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Velocities of `count` particles emitted from a freshly seeded generator, in chain order.
std::vector<Vec3> FirstVelocities(QParticleSystem& s, uint16_t count)
{
    QParticleManager m(0, 0, true);
    m.Add(&s);
    QSeedRandom(1);
    s.Emit(count);
    std::vector<Vec3> v;
    for (QParticle* p = s.batches->particles; p != nullptr; p = p->next)
        v.push_back(p->velocity);
    m.Remove(&s);
    return v;
}

// Exact: every intermediate is rounded to float where the engine stores it, so a
// different precision anywhere shows in the last bit.
void ExpectVectors(const std::vector<Vec3>& expected, const std::vector<Vec3>& actual)
{
    ASSERT_LE(expected.size(), actual.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(expected[i].x, actual[i].x) << "vector " << i;
        EXPECT_EQ(expected[i].y, actual[i].y) << "vector " << i;
        EXPECT_EQ(expected[i].z, actual[i].z) << "vector " << i;
    }
}

bool AllFinite(const std::vector<Vec3>& velocities)
{
    for (const Vec3& v : velocities)
        if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z))
            return false;
    return true;
}

}  // namespace

TEST(QParticleCone, SetConeDerivesSpreadAndTangent)
{
    auto s = NewSystem(0);
    const Vec3 down{0.0f, 0.0f, -1.0f}, along{1.0f, 0.0f, 0.0f}, oblique{3.0f, 4.0f, -12.0f};
    s->SetCone(&down, 90.0f);
    EXPECT_EQ(-2.2877332e7f, s->coneTangent) << "pi/2 rounded to single precision";
    const Vec3 downSpread = s->coneSpread;
    s->SetCone(&along, 0.0f);
    EXPECT_EQ(0.0f, s->coneTangent);
    ExpectVectors({{1.0f, 1.0f, 0.0f}, {0.0f, 1.0f, 1.0f}}, {downSpread, s->coneSpread});
    s->SetCone(&oblique, 45.0f);
    EXPECT_EQ(1.0f, s->coneTangent);
    EXPECT_EQ(-12.0f, s->coneDirection.z) << "kept as given, not normalised";
    ExpectVectors({{std::sqrt(160.0f), std::sqrt(153.0f), 5.0f}}, {s->coneSpread});
    s->DisableCone();
    EXPECT_TRUE(!s->coneEnabled && s->coneSpread.z == 5.0f && s->coneAngle == 45.0f);
}

TEST(QParticleCone, FirstVelocitiesFollowTheKnownDraws)
{
    auto s = NewSystem(0, 1000, 1.0f);
    const Vec3 down{0.0f, 0.0f, -1.0f}, skewed{1.0f, 2.0f, -0.5f};
    s->SetCone(&down, 45.0f);
    ExpectVectors({{-0.364916325f, 0.0465356521f, -0.454869717f},
                   {-0.0631673858f, -0.470160872f, -0.576521814f},
                   {-0.0933441371f, 0.102820173f, -0.270421445f}},
                  FirstVelocities(*s, 3));
    s->SetVelocity(3.0f);
    s->SetCone(&skewed, 30.0f);
    ExpectVectors({{0.477711886f, 1.58159494f, -0.592006385f}, {1.02005887f, 1.99374378f, -0.0351350754f}},
                  FirstVelocities(*s, 2));
}

TEST(QParticleCone, AnglesFromZeroToNinetyAndDegenerateInputs)
{
    auto s = NewSystem(0, 1000, 2.0f);
    const Vec3 down{0.0f, 0.0f, -1.0f}, none{0.0f, 0.0f, 0.0f};
    s->SetCone(&down, 0.0f);
    for (const Vec3& v : FirstVelocities(*s, 500))
        ASSERT_TRUE(v.x == 0.0f && v.y == 0.0f && v.z <= 0.0f && v.z >= -2.0f);
    s->SetCone(&down, 90.0f);
    for (const Vec3& v : FirstVelocities(*s, 5000)) {
        const bool lengthDrawZero = v.x == 0.0f && v.y == 0.0f;  // leaves along the axis
        ASSERT_TRUE(lengthDrawZero || std::fabs(v.z) < 0.002f * std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z));
    }
    // No speed, an axis of zero length, a tangent that is not a number, an infinite speed.
    s->SetVelocity(0.0f);
    for (const Vec3& v : FirstVelocities(*s, 100))
        ASSERT_TRUE(v.x == 0.0f && v.y == 0.0f && v.z == 0.0f);
    s->SetVelocity(2.0f);
    s->SetCone(&none, 30.0f);
    for (const Vec3& v : FirstVelocities(*s, 100))
        ASSERT_TRUE(v.x == 0.0f && v.y == 0.0f && v.z == 0.0f);
    s->SetCone(&down, 1e38f);
    EXPECT_TRUE(AllFinite(FirstVelocities(*s, 100)));
    s->DisableCone();
    s->SetVelocity(INFINITY);
    EXPECT_TRUE(AllFinite(FirstVelocities(*s, 100)));
}

TEST(QParticleBox, FirstVelocitiesFollowTheKnownDraws)
{
    // A speed of 3 (not a power of 2) shows whether the draw's scaling is kept in double.
    auto s = NewSystem(0, 1000, 3.0f);
    ExpectVectors({{-2.9924922f, 0.381615102f, -1.84013915f},
                   {1.85259116f, 0.51016295f, -0.120673873f},
                   {-0.89818716f, 2.37593842f, 1.93719101f}},
                  FirstVelocities(*s, 3));
}
