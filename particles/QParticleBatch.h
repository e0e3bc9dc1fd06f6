#pragma once
// The particles one system emitted in one update: they share one colour, one colour
// step and one remaining life, and die together. Nodes are created and owned by a
// QParticleManager; a system only borrows them while the batch is in its list.

#include "math/Color4.h"
#include "particles/QParticle.h"

#include <cstdint>

class QParticleBatch {
public:
    Color4 color;          // current colour of every particle of the batch
    Color4 colorStep;      // change of color per second, fixed at emission
    uint32_t lifeLeft;     // milliseconds of life left
    QParticle* particles;  // head of the particle chain; never null while in a system's list
    QParticleBatch* next;  // next batch of the same system (older), or of the free chain
};
