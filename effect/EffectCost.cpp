#include "effect/EffectCost.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <numeric>

#include "effect/LiveEffect.h"

namespace {

// How QParticleManager grows a pool: blocks of at least this many nodes (or exactly
// what one emission lacks, when more), each behind a 16-byte header, within its budget.
constexpr uint64_t particleGrowth = 512, batchGrowth = 64, blockHeader = 16;

// The editor's view: glFrustum(-0.2, 0.2, -0.2, 0.2, 0.5, 15) in a 640 x 480 window.
constexpr double frustumHalfSide = 0.2, frustumNear = 0.5, windowWidth = 640.0, windowHeight = 480.0;

// One kind of pool node on counts alone: nodes on the free chain, untouched nodes in
// the newest block, nodes ever handed out, and the bytes of every block.
struct PoolCount {
    uint64_t nodeSize, growth;
    uint64_t free = 0, spare = 0, made = 0;

    // Takes up to `count` nodes, first from the free chain, then from new blocks within
    // the budget both pools share; returns how many it got.
    uint64_t Take(uint64_t count, uint64_t& poolBytes, uint64_t budget)
    {
        uint64_t taken = std::min(count, free);
        free -= taken;
        while (taken < count) {
            if (spare == 0) {
                const uint64_t room = budget > poolBytes ? budget - poolBytes : 0;
                if (room < blockHeader + nodeSize)
                    break;
                spare = std::min(std::max(count - taken, growth), (room - blockHeader) / nodeSize);
                poolBytes += blockHeader + spare * nodeSize;
            }
            const uint64_t now = std::min(spare, count - taken);
            spare -= now;
            made += now;
            taken += now;
        }
        return taken;
    }
};

struct LiveBatch {
    uint64_t particles;
    uint64_t deathFrame;  // the frame whose update ages it past its life
};

// The particle system's Update and Emit, and the manager's pools, on counts.
class CountedEffect {
public:
    CountedEffect(uint32_t emitRate, uint32_t lifetime, uint32_t stepMs, uint64_t memoryBudget)
        : rate(emitRate),
          step(stepMs),
          agings(lifetime / stepMs),
          budget(memoryBudget)
    {}

    // One frame; returns the particles it emitted.
    uint64_t Update(uint64_t frame)
    {
        const uint32_t due = (secondElapsed * rate) / 1000u;
        int32_t n = static_cast<int32_t>(due - static_cast<uint32_t>(secondEmitted));
        if (n < 0)
            n = 0;
        const uint64_t made = Emit(static_cast<uint32_t>(n) & 0xFFFFu, frame);
        secondElapsed += step;
        secondEmitted = static_cast<int32_t>(static_cast<uint32_t>(secondEmitted) + static_cast<uint32_t>(n));
        if (secondElapsed >= 1000u) {
            secondElapsed -= 1000u;
            secondEmitted = static_cast<int32_t>(static_cast<uint32_t>(secondEmitted) - rate);
        }
        while (!batches.empty() && batches.front().deathFrame == frame) {
            particles.free += batches.front().particles;
            ++batchPool.free;
            liveParticles -= batches.front().particles;
            batches.pop_front();
        }
        return made;
    }

    uint64_t LiveParticles() const { return liveParticles; }
    uint64_t LiveBatches() const { return batches.size(); }

    PoolCount particles{sizeof(QParticle), particleGrowth};
    PoolCount batchPool{sizeof(QParticleBatch), batchGrowth};
    uint64_t poolBytes = 0;

private:
    uint64_t Emit(uint32_t count, uint64_t frame)
    {
        if (count == 0 || batchPool.Take(1, poolBytes, budget) == 0)
            return 0;
        const uint64_t got = particles.Take(count, poolBytes, budget);
        if (got == 0) {
            ++batchPool.free;
            return 0;
        }
        // Aged in this frame's update and in `agings` - 1 more; it dies in the next.
        batches.push_back({got, frame + agings});
        liveParticles += got;
        return got;
    }

    const uint32_t rate, step;
    const uint64_t agings;  // updates a batch survives: lifetime / step, truncated
    const uint64_t budget;  // bytes both pools may take together
    uint32_t secondElapsed = 0;
    int32_t secondEmitted = 0;
    uint64_t liveParticles = 0;
    std::deque<LiveBatch> batches;  // oldest first: they die in the order they were made
};

}  // namespace

double ParticlePixels(float size, float distance)
{
    // A billboard's half-extent `size` along the camera's axes, `distance` in front of
    // the eye, projects to size * near / (distance * half side) of the half window.
    const double half = std::abs(double(size)) * frustumNear / (double(distance) * frustumHalfSide);
    const double width = std::min(half * windowWidth, windowWidth);
    const double height = std::min(half * windowHeight, windowHeight);
    return std::round(width * height);
}

EffectCost MeasureEffectCost(const EmitterSettings& s, uint32_t stepMs, size_t memoryBudget)
{
    // The system takes the settings' counts as it always does (a negative one as 0).
    const LiveEffect live(s, 0u);
    EffectCost cost = {};
    cost.stepMs = stepMs;
    CountedEffect effect(live.system.emitRate, live.system.lifetime, stepMs, memoryBudget);

    // The due counts repeat every `period` frames (whole seconds of frames), so once
    // the first batches have died, two periods show every state the effect returns to.
    const uint64_t period = 1000u / std::gcd(1000u, stepMs);
    const uint64_t wanted = live.system.lifetime / stepMs + 2 * period + 2;
    cost.frames = std::min<uint64_t>(wanted, COST_MAX_FRAMES);
    cost.settled = wanted <= COST_MAX_FRAMES;
    const uint64_t lastPeriod = cost.frames > period ? cost.frames - period : 0;
    uint64_t emittedLately = 0;
    cost.steadyParticles = UINT64_MAX;
    for (uint64_t frame = 1; frame <= cost.frames; ++frame) {
        const uint64_t emitted = effect.Update(frame);
        cost.peakParticles = std::max(cost.peakParticles, effect.LiveParticles());
        cost.peakBatches = std::max(cost.peakBatches, effect.LiveBatches());
        if (frame > lastPeriod) {
            emittedLately += emitted;
            cost.steadyParticles = std::min(cost.steadyParticles, effect.LiveParticles());
        }
    }
    cost.particleNodes = effect.particles.made;
    cost.batchNodes = effect.batchPool.made;
    cost.poolBytes = effect.poolBytes;
    cost.emittedPerSecond = double(emittedLately) * 1000.0 / double((cost.frames - lastPeriod) * stepMs);
    cost.particlePixels = ParticlePixels(s.size, 1.0f);
    cost.peakPixels = cost.particlePixels * double(cost.peakParticles);
    return cost;
}
