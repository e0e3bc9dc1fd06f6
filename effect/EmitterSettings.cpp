#include "effect/EmitterSettings.h"

EmitterSettings DefaultEmitterSettings()
{
    EmitterSettings s = {};
    s.startColor = Color4{1.0f, 1.0f, 1.0f, 1.0f};
    s.endColor = Color4{1.0f, 1.0f, 1.0f, 0.0f};
    s.size = 0.02f;
    s.velocity = 0.2f;
    s.lifetime = 1000;
    s.emitRate = 100;
    s.coneEnabled = false;
    s.coneDirection = Vec3{0.0f, 0.0f, -1.0f};
    s.coneAngle = 90.0f;
    return s;
}
