#pragma once
// A digest of a particle manager's live particles: how many there are and a
// 64-bit FNV-1a hash of their positions and colours, so that a run of the
// simulation can be pinned by a test or compared between machines. Reads the
// manager's lists only; needs no GL.

#include <cstdint>

class QParticleManager;

struct StateDigest {
    uint64_t particles;  // live particles over every attached system
    uint64_t hash;       // FNV-1a over the bit patterns, see DigestParticles
};

// Walks the systems in list order, each system's batches newest first, and hashes
// per batch its colour (r, g, b, a) and then each particle's position (x, y, z) in
// chain order, every float as its four little-endian bytes. Two states with the
// same digest have, with near certainty, the same particles at the same places in
// the same colours.
StateDigest DigestParticles(const QParticleManager& manager);
