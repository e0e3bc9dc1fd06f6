#include "particles/QParticleSystem.h"

#include "math/Degrees.h"
#include "math/QRandom.h"
#include "particles/QParticleBatch.h"
#include "particles/QParticleManager.h"

#include <cmath>
#include <cstddef>

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace {

// -1.0 to 1.0000610: the divisor 16383 (not 16383.5) lets the top reach just past +1.
double SignedUnit()
{
    return QRand() / 16383.0 - 1.0;
}

// 0.0 to 1.0.
double Unit()
{
    return QRand() / 32767.0;
}

// Length of (x, y, z) with the squares summed and rooted in double, so no float
// overflow can turn a finite vector's length into infinity.
double Length(double x, double y, double z)
{
    return std::sqrt(x * x + y * y + z * z);
}

bool Finite(const Vec3& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// A colour step that can't be represented (a lifetime of 0, or colours so far apart
// that the difference overflows) becomes 0: the batch keeps its start colour.
float ColorStep(float start, float end, float lifeSeconds)
{
    if (lifeSeconds == 0.0f)
        return 0.0f;
    const float step = (end - start) / lifeSeconds;
    return std::isfinite(step) ? step : 0.0f;
}

// position += s * velocity for every particle of a chain. A batch's nodes mostly lie
// one after another in memory, so along such a run the next node's address is known
// without waiting for its link to load; the loop only follows the link where a run
// ends. Every node is still visited once, in chain order.
void MoveChain(QParticle* p, float s)
{
#if defined(__x86_64__)
    // Four-lane loads stay inside the node: position plus velocity.x, and velocity plus
    // half the link. One 16-byte store writes the moved position and puts velocity.x
    // back bit for bit; the sum in lane 3 (with half the link) is discarded.
    static_assert(sizeof(QParticle) == 32 && offsetof(QParticle, velocity) == 12, "node layout");
    const __m128 scale = _mm_set1_ps(s);
    const __m128 positionLanes = _mm_castsi128_ps(_mm_set_epi32(0, -1, -1, -1));
#endif
    while (p != nullptr) {
        QParticle* q = p;
        for (;;) {
#if defined(__x86_64__)
            float* at = &q->position.x;
            const __m128 held = _mm_loadu_ps(at);
            const __m128 moved = _mm_add_ps(held, _mm_mul_ps(scale, _mm_loadu_ps(at + 3)));
            const __m128 velocityX = _mm_andnot_ps(positionLanes, held);
            _mm_storeu_ps(at, _mm_or_ps(_mm_and_ps(positionLanes, moved), velocityX));
#else
            q->position.x = q->position.x + s * q->velocity.x;
            q->position.y = q->position.y + s * q->velocity.y;
            q->position.z = q->position.z + s * q->velocity.z;
#endif
            QParticle* following = q->next;
            if (following != q + 1) {
                p = following;
                break;
            }
            q = q + 1;
        }
    }
}

// Moves every particle of a batch list, oldest batch first. In a steady effect each new
// batch takes the nodes of the batch that just died, so from oldest to newest the runs
// mostly follow the order in which the pool grew: one forward sweep through memory
// instead of a jump back at every batch. The list is reversed in place for the walk and
// restored on the way, so it is unchanged afterwards.
void MoveOldestFirst(QParticleBatch* newest, float s)
{
    QParticleBatch* reversed = nullptr;
    while (newest != nullptr) {
        QParticleBatch* older = newest->next;
        newest->next = reversed;
        reversed = newest;
        newest = older;
    }
    QParticleBatch* restored = nullptr;
    while (reversed != nullptr) {
        MoveChain(reversed->particles, s);
        QParticleBatch* newer = reversed->next;
        reversed->next = restored;
        restored = reversed;
        reversed = newer;
    }
}

// Rates and lifetimes are signed 32-bit counts in the settings and reach the system
// as their bits. A count past the signed range is a negative one: a negative rate
// emits nothing and a negative lifetime lives 0 ms, instead of reading as some four
// billion particles per second or some 49 days.
uint32_t Count(uint32_t bits)
{
    return bits > 0x7FFFFFFFu ? 0u : bits;
}

}  // namespace

QParticleSystem::QParticleSystem(const Vec3* emitterPosition, float speed, uint32_t textureName,
                                 const Color4* firstColor, const Color4* lastColor, float particleSize,
                                 uint32_t lifetimeMs, bool removeOnEmpty, uint32_t particlesPerSecond)
    : batches(nullptr),
      position(*emitterPosition),
      startColor(*firstColor),
      endColor(*lastColor),
      coneEnabled(false),
      coneDirection{0.0f, 0.0f, 0.0f},
      coneTangent(0.0f),
      coneAngle(0.0f),
      coneSpread{0.0f, 0.0f, 0.0f},
      size(particleSize),
      texture(textureName),
      lifetime(Count(lifetimeMs)),
      removeWhenEmpty(removeOnEmpty),
      velocity(speed),
      emitRate(Count(particlesPerSecond)),
      secondElapsed(0),
      secondEmitted(0),
      manager(nullptr),
      next(nullptr)
{}

QParticleSystem::QParticleSystem(const QParticleSystem& other)
    : batches(nullptr),
      position{0.0f, 0.0f, 0.0f},
      startColor{0.0f, 0.0f, 0.0f, 0.0f},
      endColor{0.0f, 0.0f, 0.0f, 0.0f},
      coneEnabled(false),
      coneDirection{0.0f, 0.0f, 0.0f},
      coneTangent(0.0f),
      coneAngle(0.0f),
      coneSpread{0.0f, 0.0f, 0.0f},
      size(0.0f),
      texture(0),
      lifetime(0),
      removeWhenEmpty(false),
      velocity(0.0f),
      emitRate(0),
      secondElapsed(0),
      secondEmitted(0),
      manager(nullptr),
      next(nullptr)
{
    CopySettings(other);
}

QParticleSystem::~QParticleSystem()
{
    if (manager != nullptr)
        manager->Remove(this);
}

QParticleSystem& QParticleSystem::CopySettings(const QParticleSystem& other)
{
    position = other.position;
    startColor = other.startColor;
    endColor = other.endColor;
    coneEnabled = other.coneEnabled;
    coneDirection = other.coneDirection;
    coneTangent = other.coneTangent;
    coneAngle = other.coneAngle;
    coneSpread = other.coneSpread;
    size = other.size;
    texture = other.texture;
    lifetime = other.lifetime;
    removeWhenEmpty = other.removeWhenEmpty;
    velocity = other.velocity;
    emitRate = other.emitRate;
    return *this;
}

void QParticleSystem::Update(uint32_t t)
{
    // Due count, from the time counted before this update: the product wraps modulo
    // 2^32 and the division truncates; the difference is taken as signed 32-bit.
    const uint32_t due = (secondElapsed * emitRate) / 1000u;
    int32_t n = static_cast<int32_t>(due - static_cast<uint32_t>(secondEmitted));
    if (n < 0)
        n = 0;

    Emit(static_cast<uint16_t>(static_cast<uint32_t>(n) & 0xFFFFu));

    // The whole due count is charged, whatever Emit could make: particles the pools
    // couldn't supply are not made up later.
    secondElapsed += t;
    secondEmitted = static_cast<int32_t>(static_cast<uint32_t>(secondEmitted) + static_cast<uint32_t>(n));
    // At most one second closes per update; a long pause is worked off one second
    // per following update.
    if (secondElapsed >= 1000u) {
        secondElapsed -= 1000u;
        secondEmitted = static_cast<int32_t>(static_cast<uint32_t>(secondEmitted) - emitRate);
    }

    const float s = static_cast<float>(t / 1000.0);

    QParticleBatch* lastAlive = nullptr;
    QParticleBatch* batch = batches;
    while (batch != nullptr) {
        QParticleBatch* older = batch->next;
        if (batch->lifeLeft < t) {
            if (lastAlive == nullptr)
                batches = older;
            else
                lastAlive->next = older;
            if (manager != nullptr) {
                manager->ReleaseParticles(batch->particles);
                manager->ReleaseBatch(batch);
                if (batches == nullptr && removeWhenEmpty)
                    manager->Remove(this);
            }
        } else {
            batch->lifeLeft -= t;
            batch->color.r = batch->color.r + s * batch->colorStep.r;
            batch->color.g = batch->color.g + s * batch->colorStep.g;
            batch->color.b = batch->color.b + s * batch->colorStep.b;
            batch->color.a = batch->color.a + s * batch->colorStep.a;
            lastAlive = batch;
        }
        batch = older;
    }
    // Moving the survivors after the walk gives the same positions as moving each batch
    // as it is aged; only the order through memory differs.
    MoveOldestFirst(batches, s);
}

void QParticleSystem::Emit(uint16_t count)
{
    if (count == 0 || manager == nullptr)
        return;
    QParticleBatch* batch = manager->AllocBatch();
    if (batch == nullptr)
        return;
    batch->particles = manager->AllocParticles(count);
    if (batch->particles == nullptr) {
        manager->ReleaseBatch(batch);
        return;
    }

    const float lifeSeconds = static_cast<float>(lifetime / 1000.0);
    batch->color = startColor;
    batch->colorStep.r = ColorStep(startColor.r, endColor.r, lifeSeconds);
    batch->colorStep.g = ColorStep(startColor.g, endColor.g, lifeSeconds);
    batch->colorStep.b = ColorStep(startColor.b, endColor.b, lifeSeconds);
    batch->colorStep.a = ColorStep(startColor.a, endColor.a, lifeSeconds);
    batch->lifeLeft = lifetime;

    const Vec3 start = position;
    const Vec3 still{0.0f, 0.0f, 0.0f};
    if (coneEnabled) {
        // Each particle leaves along the cone axis tilted by a random offset of length
        // up to coneTangent, at a speed drawn evenly in 0..velocity. Five draws per
        // particle: offset x, y, z, the offset's length, the speed.
        for (QParticle* p = batch->particles; p != nullptr; p = p->next) {
            p->position = start;
            float ox = static_cast<float>(SignedUnit() * coneSpread.x);
            float oy = static_cast<float>(SignedUnit() * coneSpread.y);
            float oz = static_cast<float>(SignedUnit() * coneSpread.z);
            const float lambda = static_cast<float>(Unit() * coneTangent);
            // An offset of zero length (an axis of (0, 0, 0), or all draws on the
            // middle) can't be given a length: it stays zero.
            const double offsetLength = Length(ox, oy, oz);
            const float k = offsetLength > 0.0 ? static_cast<float>(lambda / offsetLength) : 0.0f;
            ox *= k;
            oy *= k;
            oz *= k;
            const Vec3 d{coneDirection.x + ox, coneDirection.y + oy, coneDirection.z + oz};
            const float sigma = static_cast<float>(Unit() * velocity);
            // A direction of zero length has no way to point: the particle stays put.
            const double directionLength = Length(d.x, d.y, d.z);
            const float scale = directionLength > 0.0 ? static_cast<float>(sigma / directionLength) : 0.0f;
            const Vec3 v{d.x * scale, d.y * scale, d.z * scale};
            p->velocity = Finite(v) ? v : still;
        }
    } else {
        // Three independent draws fill a cube of half-width velocity, not a sphere.
        for (QParticle* p = batch->particles; p != nullptr; p = p->next) {
            p->position = start;
            const float vx = static_cast<float>(SignedUnit() * velocity);
            const float vy = static_cast<float>(SignedUnit() * velocity);
            const float vz = static_cast<float>(SignedUnit() * velocity);
            const Vec3 v{vx, vy, vz};
            p->velocity = Finite(v) ? v : still;
        }
    }

    batch->next = batches;
    batches = batch;
}

void QParticleSystem::SetColors(const Color4* start, const Color4* end)
{
    startColor = *start;
    endColor = *end;
}

void QParticleSystem::SetSize(float newSize)
{
    size = newSize;
}

void QParticleSystem::SetTexture(uint32_t newTexture)
{
    texture = newTexture;
}

void QParticleSystem::SetLifetime(uint32_t newLifetime)
{
    lifetime = Count(newLifetime);
}

void QParticleSystem::SetEmitRate(uint32_t rate)
{
    emitRate = Count(rate);
}

void QParticleSystem::SetVelocity(float newVelocity)
{
    velocity = newVelocity;
}

void QParticleSystem::SetCone(const Vec3* direction, float degrees)
{
    coneAngle = degrees;
    // 90 degrees lands just past the true right angle and gives a huge negative tangent,
    // as the editor has always had.
    coneTangent = static_cast<float>(std::tan(DegreesToRadians(degrees)));
    coneDirection = *direction;
    const double dx = direction->x, dy = direction->y, dz = direction->z;
    coneSpread.x = static_cast<float>(std::sqrt(dy * dy + dz * dz));
    coneSpread.y = static_cast<float>(std::sqrt(dx * dx + dz * dz));
    coneSpread.z = static_cast<float>(std::sqrt(dx * dx + dy * dy));
    coneEnabled = true;
}

void QParticleSystem::DisableCone()
{
    coneEnabled = false;
}

void QParticleSystem::SetRemoveWhenEmpty(bool remove)
{
    removeWhenEmpty = remove;
}

void QParticleSystem::SetPosition(const Vec3* newPosition)
{
    position = *newPosition;
}
