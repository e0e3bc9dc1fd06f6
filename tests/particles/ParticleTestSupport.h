#pragma once
// Shared by the particle tests: systems with known settings, and counts of chains.

#include "particles/QParticleManager.h"

#include <memory>
#include <vector>

// White fading to clear, at the origin; particles never die unless a lifetime is given.
inline std::unique_ptr<QParticleSystem> NewSystem(uint32_t rate, uint32_t lifetime = 100000000u, float velocity = 1.0f,
                                                  bool removeWhenEmpty = false)
{
    const Vec3 at{0.0f, 0.0f, 0.0f};
    const Color4 white{1.0f, 1.0f, 1.0f, 1.0f}, clear{1.0f, 1.0f, 1.0f, 0.0f};
    return std::make_unique<QParticleSystem>(&at, velocity, 7u, &white, &clear, 0.02f, lifetime, removeWhenEmpty, rate);
}

template <typename Node> uint32_t Length(const Node* node)
{
    uint32_t n = 0;
    for (; node != nullptr; node = node->next)
        ++n;
    return n;
}

inline uint32_t Live(const QParticleSystem& s)
{
    uint32_t n = 0;
    for (const QParticleBatch* b = s.batches; b != nullptr; b = b->next)
        n += Length(b->particles);
    return n;
}

// Bounded, so a list that has become a cycle fails the test instead of hanging it.
inline std::vector<QParticleSystem*> Systems(const QParticleManager& m)
{
    std::vector<QParticleSystem*> list;
    for (QParticleSystem* s = m.systems; s != nullptr && list.size() < 100; s = s->next)
        list.push_back(s);
    return list;
}
