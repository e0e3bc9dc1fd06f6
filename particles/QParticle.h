#pragma once
// One particle node: where it is, how it moves, and the link to the next particle
// of its batch (or of the manager's free chain). Colour and life are held by the
// batch, so a node is only seven 32-bit words on a 32-bit link, eight on 64-bit.
// Nodes are created and owned by a QParticleManager; nothing else allocates them.

#include "math/Vec3.h"

class QParticle {
public:
    Vec3 position;    // current position, world units
    Vec3 velocity;    // world units per second, fixed at emission
    QParticle* next;  // next particle of the same batch or free chain; null at the end
};
