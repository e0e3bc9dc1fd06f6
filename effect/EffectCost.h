#pragma once
// What an effect costs while it runs, from its settings alone: the particles alive
// once it has settled and at most, what its pools hold, how many it emits a second
// and how much of the editor's 640 x 480 view its particles cover. The particle
// system's emission accounting, batch ageing and pool growth are run on counts (no
// nodes, no random numbers, no GL), so each count is exactly what a run of the same
// effect in frames of the same length reaches. Prints nothing.

#include <cstddef>
#include <cstdint>

#include "effect/EmitterSettings.h"
#include "particles/QParticleManager.h"

enum : uint32_t {
    COST_MAX_STEP = 1000,          // longest frame, ms: a longer one closes seconds late (see Update)
    COST_MAX_FRAMES = 100000000u,  // frames followed at most, whatever the lifetime
};

struct EffectCost {
    uint32_t stepMs;           // length of every frame
    uint64_t frames;           // frames followed: until every phase of the emission has been seen dying
    bool settled;              // false when the particles outlive COST_MAX_FRAMES frames: the counts
                               // are then those of the frames followed, and still growing
    uint64_t peakParticles;    // most particles alive after a frame
    uint64_t steadyParticles;  // fewest alive after a frame once settled (the count swings up to the peak)
    uint64_t peakBatches;      // most batches alive after a frame
    uint64_t particleNodes;    // particle nodes the pools made: the most in use at once, during emission
    uint64_t batchNodes;       // batch nodes the pools made
    uint64_t poolBytes;        // bytes of the pools' blocks then, headers included (QParticleManager::PoolBytes)
    double emittedPerSecond;   // particles made per second once settled
    double particlePixels;     // pixels one particle covers at the emitter, in the editor's view
    double peakPixels;         // particlePixels x peakParticles: what the peak costs to fill
};

// The cost of `s` in frames of stepMs (1 .. COST_MAX_STEP) from a fresh start, as the
// editor's start-up and qprender build it: empty pools that grow within `memoryBudget`
// bytes (the manager's default). A negative rate or lifetime counts as 0, as the
// particle system takes it.
EffectCost MeasureEffectCost(const EmitterSettings& s, uint32_t stepMs,
                             size_t memoryBudget = QParticleManager::DEFAULT_MEMORY_BUDGET);

// Pixels a particle of half-extent `size` (world units, either sign) covers at the
// emitter, with the editor's camera `distance` in front of it (1 .. 10) and its
// projection in a 640 x 480 window, to the nearest whole pixel; at most the whole window.
double ParticlePixels(float size, float distance);
