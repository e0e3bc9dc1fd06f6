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

void ExpectVelocities(const std::vector<Vec3>& expected, const std::vector<Vec3>& actual)
{
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_FLOAT_EQ(expected[i].x, actual[i].x) << "particle " << i;
        EXPECT_FLOAT_EQ(expected[i].y, actual[i].y) << "particle " << i;
        EXPECT_FLOAT_EQ(expected[i].z, actual[i].z) << "particle " << i;
    }
}

bool AllFinite(const std::vector<Vec3>& velocities)
{
    for (const Vec3& v : velocities)
        if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z))
            return false;
    return true;
}

// True when the next draw is the one after `used` draws from seed 1.
bool UsedDraws(int used)
{
    const int next = QRand();
    QSeedRandom(1);
    for (int i = 0; i < used; ++i)
        QRand();
    return QRand() == next;
}

}  // namespace

TEST(QParticleCone, SetConeDerivesSpreadAndTangent)
{
    auto s = NewSystem(0);
    const Vec3 down{0.0f, 0.0f, -1.0f}, oblique{3.0f, 4.0f, -12.0f};
    s->SetCone(&down, 90.0f);
    EXPECT_FLOAT_EQ(-2.2877332e7f, s->coneTangent) << "pi/2 rounded to single precision";
    EXPECT_EQ(1.0f, s->coneSpread.y);
    EXPECT_EQ(0.0f, s->coneSpread.z);
    s->SetCone(&oblique, 45.0f);
    EXPECT_EQ(1.0f, s->coneTangent);
    EXPECT_EQ(-12.0f, s->coneDirection.z) << "kept as given, not normalised";
    EXPECT_EQ(5.0f, s->coneSpread.z);
    s->DisableCone();
    EXPECT_FALSE(s->coneEnabled);
    EXPECT_EQ(5.0f, s->coneSpread.z);
}

TEST(QParticleCone, FirstVelocitiesFollowTheKnownDraws)
{
    auto s = NewSystem(0, 1000, 1.0f);
    const Vec3 down{0.0f, 0.0f, -1.0f}, skewed{1.0f, 2.0f, -0.5f};
    s->SetCone(&down, 45.0f);
    ExpectVelocities({{-0.364916325f, 0.0465356521f, -0.454869717f},
                      {-0.0631673858f, -0.470160872f, -0.576521814f},
                      {-0.0933441371f, 0.102820173f, -0.270421445f}},
                     FirstVelocities(*s, 3));
    EXPECT_TRUE(UsedDraws(15)) << "five draws per particle";
    s->SetVelocity(3.0f);
    s->SetCone(&skewed, 45.0f);
    ExpectVelocities({{0.252798796f, 1.57585144f, -0.730005383f}, {1.02356279f, 1.96518815f, 0.327296853f}},
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
    // An axis of zero length, a tangent that is not a number, an infinite speed.
    s->SetCone(&none, 30.0f);
    for (const Vec3& v : FirstVelocities(*s, 100))
        ASSERT_TRUE(v.x == 0.0f && v.y == 0.0f && v.z == 0.0f);
    s->SetCone(&down, 1e38f);
    EXPECT_TRUE(AllFinite(FirstVelocities(*s, 100)));
    s->DisableCone();
    s->SetVelocity(INFINITY);
    EXPECT_TRUE(AllFinite(FirstVelocities(*s, 100)));
}

TEST(QParticleBox, FirstVelocitiesFollowTheKnownDrawsAndFillTheCube)
{
    auto s = NewSystem(0, 1000, 2.0f);
    ExpectVelocities({{-1.99499476f, 0.254410058f, -1.22675943f},
                      {1.23506069f, 0.340108663f, -0.0804492459f},
                      {-0.59879142f, 1.58395898f, 1.29146063f}},
                     FirstVelocities(*s, 3));
    EXPECT_TRUE(UsedDraws(9)) << "three draws per particle";
    float lowest = 0.0f, highest = 0.0f;
    for (const Vec3& v : FirstVelocities(*s, 20000))
        for (float c : {v.x, v.y, v.z}) {
            lowest = std::fmin(lowest, c);
            highest = std::fmax(highest, c);
        }
    EXPECT_EQ(-2.0f, lowest);
    EXPECT_FLOAT_EQ(2.0f * 32767.0f / 16383.0f - 2.0f, highest) << "the top draw passes +1";
}
