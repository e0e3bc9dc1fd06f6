#include "particles/StateDigest.h"

#include <cstring>

#include "particles/QParticleManager.h"

namespace {

const uint64_t fnvOffset = 0xcbf29ce484222325ull;
const uint64_t fnvPrime = 0x100000001b3ull;

// Byte order is fixed (least significant first) so that the hash is the same
// on every machine, whatever its own order.
void HashFloat(uint64_t& hash, float value)
{
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    for (int shift = 0; shift < 32; shift += 8) {
        hash ^= (bits >> shift) & 0xffu;
        hash *= fnvPrime;
    }
}

}  // namespace

StateDigest DigestParticles(const QParticleManager& manager)
{
    StateDigest digest = {0, fnvOffset};
    for (const QParticleSystem* system = manager.systems; system; system = system->next) {
        for (const QParticleBatch* batch = system->batches; batch; batch = batch->next) {
            HashFloat(digest.hash, batch->color.r);
            HashFloat(digest.hash, batch->color.g);
            HashFloat(digest.hash, batch->color.b);
            HashFloat(digest.hash, batch->color.a);
            for (const QParticle* p = batch->particles; p; p = p->next) {
                HashFloat(digest.hash, p->position.x);
                HashFloat(digest.hash, p->position.y);
                HashFloat(digest.hash, p->position.z);
                ++digest.particles;
            }
        }
    }
    return digest;
}
