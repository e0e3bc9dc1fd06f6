#pragma once
// One effect running: a particle manager with empty pools that grow as the effect
// needs, and the one particle system built from a settings record and attached to
// it. The editor's start-up and qprender's previews both make their effect here, so
// the same settings give the same particles in both. Making it draws no random
// numbers and needs no GL context (the texture is only a GL name to draw with).

#include <cstdint>

#include "effect/EmitterSettings.h"
#include "particles/QParticleManager.h"
#include "particles/QParticleSystem.h"

struct LiveEffect {
    // The system starts at the origin with the settings' velocity, colours, size,
    // lifetime and rate (a negative count as 0), stays in the manager when
    // empty, and has the settings' cone when it is on. `settings` is copied.
    LiveEffect(const EmitterSettings& settings, uint32_t texture);
    LiveEffect(const LiveEffect&) = delete;
    LiveEffect& operator=(const LiveEffect&) = delete;

    QParticleManager manager;  // declared before the system: the system leaves it first
    QParticleSystem system;
};
