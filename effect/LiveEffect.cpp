#include "effect/LiveEffect.h"

#include "math/Vec3.h"

namespace {
const Vec3 origin = {0.0f, 0.0f, 0.0f};
}

LiveEffect::LiveEffect(const EmitterSettings& s, uint32_t texture)
    : manager(0, 0, true),
      system(&origin, s.velocity, texture, &s.startColor, &s.endColor, s.size, static_cast<uint32_t>(s.lifetime), false,
             static_cast<uint32_t>(s.emitRate))
{
    if (s.coneEnabled)
        system.SetCone(&s.coneDirection, s.coneAngle);
    manager.Add(&system);
}
