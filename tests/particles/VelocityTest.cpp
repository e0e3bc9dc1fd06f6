#include "ParticleTestSupport.h"

#include "math/QRandom.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const Vec3 down{0.0f, 0.0f, -1.0f}, skewed{1.0f, 2.0f, -0.5f}, none{0.0f, 0.0f, 0.0f};

// Velocities of `count` particles emitted from a freshly seeded generator, in chain
// order; a null axis emits into the box.
std::vector<Vec3> FirstVelocities(float speed, const Vec3* axis, float degrees, uint16_t count)
{
    QParticleManager m(0, 0, true);
    auto s = NewSystem(0, 1000, speed);
    if (axis != nullptr)
        s->SetCone(axis, degrees);
    m.Add(s.get());
    QSeedRandom(1);
    s->Emit(count);
    std::vector<Vec3> v;
    for (QParticle* p = s->batches->particles; p != nullptr; p = p->next)
        v.push_back(p->velocity);
    return v;
}

}  // namespace

TEST(QParticleVelocity, FirstVelocitiesFollowTheKnownDraws)
{
    // Bit-exact: a different precision anywhere shows; a speed of 3 shows the draw's scaling kept in double.
    const struct {
        float speed;
        const Vec3* axis;
        float degrees;
        std::vector<float> xyz;
    } cases[] = {
        {3.0f,
         nullptr,
         0.0f,
         {-2.9924922f, 0.381615102f, -1.84013915f, 1.85259116f, 0.51016295f, -0.120673873f, -0.89818716f, 2.37593842f,
          1.93719101f}},
        {1.0f,
         &down,
         45.0f,
         {-0.364916325f, 0.0465356521f, -0.454869717f, -0.0631673858f, -0.470160872f, -0.576521814f, -0.0933441371f,
          0.102820173f, -0.270421445f}},
        {3.0f, &skewed, 30.0f, {0.477711886f, 1.58159494f, -0.592006385f, 1.02005887f, 1.99374378f, -0.0351350754f}},
    };
    for (const auto& c : cases) {
        std::vector<float> xyz;
        for (const Vec3& v : FirstVelocities(c.speed, c.axis, c.degrees, uint16_t(c.xyz.size() / 3)))
            xyz.insert(xyz.end(), {v.x, v.y, v.z});
        EXPECT_EQ(c.xyz, xyz) << "speed " << c.speed << ", cone " << (c.axis != nullptr);
    }
}

TEST(QParticleVelocity, ConeLimitsAndDegenerateInputsGiveFiniteVelocities)
{
    auto s = NewSystem(0);
    s->SetCone(&down, 90.0f);
    EXPECT_EQ(-2.2877332e7f, s->coneTangent) << "pi/2 rounded to single precision";
    // Both angle limits; no speed; an axis of zero length; a tangent that is not a number; infinite speeds.
    const struct {
        float speed;
        const Vec3* axis;
        float degrees;
    } cases[] = {{2, &down, 0},     {2, &down, 90},         {0, &down, 90},       {2, &none, 30},
                 {2, &down, 1e38f}, {INFINITY, nullptr, 0}, {INFINITY, &down, 30}};
    for (const auto& c : cases)
        for (const Vec3& v : FirstVelocities(c.speed, c.axis, c.degrees, 2000)) {
            const float across = std::hypot(v.x, v.y), length = std::hypot(v.x, v.y, v.z);
            ASSERT_TRUE(std::isfinite(length)) << "speed " << c.speed << ", angle " << c.degrees;
            if (c.degrees == 0) {
                ASSERT_EQ(0.0f, across) << "along the axis, speed " << c.speed;
                ASSERT_LE(v.z, 0.0f) << "along the axis, speed " << c.speed;
                ASSERT_GE(v.z, -2.0f) << "along the axis, speed " << c.speed;
            }
            // A length draw of 0 leaves along the axis at any angle.
            if (c.degrees == 90 && across != 0) {
                ASSERT_LT(std::fabs(v.z), 0.002f * length) << "across the axis, speed " << c.speed;
            }
            if (c.speed == 0 || c.axis == &none) {
                ASSERT_EQ(0.0f, length) << "still, speed " << c.speed << ", angle " << c.degrees;
            }
        }
}
