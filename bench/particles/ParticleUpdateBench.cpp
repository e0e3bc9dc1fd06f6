// Steady-state cost of QParticleManager::UpdateAll at 10k, 100k and 1M live particles,
// against a flat structure-of-arrays loop (FlatAdvance, its own file, restrict arrays,
// never inlined) doing the same position += s * velocity work over the same count in
// the same run. Each frame runs UpdateAll and then the flat loop, each timed on its own
// with the clock read around it and nothing else in between (no pausing of the
// benchmark's timer); per-frame times are kept, so medians stand beside the means and a
// preempted frame moves only the mean. Also counts heap allocations per frame (every
// engine allocation goes through the global operator new, replaced below) and the pool
// memory per live particle.
//
// Counters: ns_per_particle and flat_ns_per_particle (medians of the frames),
// ratio_to_flat (median flat time / median UpdateAll time: 1.0 means as fast as the
// flat loop), mean_ratio_to_flat (the same from the means), allocs_per_frame,
// pool_bytes_per_particle, live. The reported time is UpdateAll's alone.

#include "particles/QParticleManager.h"
#include "particles/QParticleSystem.h"

#include "FlatAdvance.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <vector>

namespace {
std::atomic<uint64_t> heapAllocations{0};

void* CountedAllocation(std::size_t size)
{
    heapAllocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size != 0 ? size : 1);
}
}  // namespace

// The replacements pair with each other (malloc underneath, free on delete), which
// the compiler can't see across the replaced functions.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size)
{
    void* p = CountedAllocation(size);
    if (p == nullptr)
        throw std::bad_alloc();
    return p;
}
void* operator new[](std::size_t size)
{
    void* p = CountedAllocation(size);
    if (p == nullptr)
        throw std::bad_alloc();
    return p;
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return CountedAllocation(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return CountedAllocation(size);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}

namespace {

constexpr uint32_t FRAME_MS = 16;
// A long life keeps emission (the random draws) a small part of each frame: each
// frame emits and kills 16/4000 of the live particles.
constexpr uint32_t LIFETIME_MS = 4000;

uint64_t LiveParticles(const QParticleSystem& s)
{
    uint64_t n = 0;
    for (const QParticleBatch* b = s.batches; b != nullptr; b = b->next)
        for (const QParticle* p = b->particles; p != nullptr; p = p->next)
            ++n;
    return n;
}

double Median(std::vector<double>& values)
{
    if (values.empty())
        return 0.0;
    const size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle), values.end());
    return values[middle];
}

void UpdateAllSteadyState(benchmark::State& state)
{
    const uint32_t target = static_cast<uint32_t>(state.range(0));
    const uint32_t rate = static_cast<uint32_t>(uint64_t(target) * 1000u / LIFETIME_MS);
    const Vec3 origin{0.0f, 0.0f, 0.0f};
    const Color4 start{1.0f, 1.0f, 1.0f, 1.0f};
    const Color4 end{1.0f, 1.0f, 1.0f, 0.0f};
    QParticleManager manager(0, 0, true);
    QParticleSystem system(&origin, 0.2f, 0u, &start, &end, 0.02f, LIFETIME_MS, false, rate);
    manager.Add(&system);
    // Two lifetimes: the pools reach their largest size and stay there.
    for (uint32_t i = 0; i < 2 * LIFETIME_MS / FRAME_MS + 10; ++i)
        manager.UpdateAll(FRAME_MS);
    const uint64_t live = LiveParticles(system);

    std::vector<float> px(live, 0.0f), py(live, 0.0f), pz(live, 0.0f);
    std::vector<float> vx(live, 0.1f), vy(live, -0.2f), vz(live, 0.3f);
    const float s = static_cast<float>(FRAME_MS / 1000.0);

    // Frame times are kept up to the reserved count, so keeping them never allocates.
    constexpr size_t KEPT_FRAMES = size_t(1) << 16;
    std::vector<double> updateTimes, flatTimes;
    updateTimes.reserve(KEPT_FRAMES);
    flatTimes.reserve(KEPT_FRAMES);

    using Clock = std::chrono::steady_clock;
    double updateNs = 0.0, flatNs = 0.0;
    uint64_t frames = 0;
    const uint64_t allocationsBefore = heapAllocations.load();
    for (auto _ : state) {
        const auto t0 = Clock::now();
        manager.UpdateAll(FRAME_MS);
        const auto t1 = Clock::now();
        FlatAdvance(px.data(), py.data(), pz.data(), vx.data(), vy.data(), vz.data(), s, live);
        const auto t2 = Clock::now();
        const double update = std::chrono::duration<double, std::nano>(t1 - t0).count();
        const double flat = std::chrono::duration<double, std::nano>(t2 - t1).count();
        state.SetIterationTime(update * 1e-9);
        updateNs += update;
        flatNs += flat;
        if (updateTimes.size() < KEPT_FRAMES) {
            updateTimes.push_back(update);
            flatTimes.push_back(flat);
        }
        ++frames;
    }
    const uint64_t allocations = heapAllocations.load() - allocationsBefore;
    benchmark::DoNotOptimize(px.data());

    const double perFrame = static_cast<double>(frames);
    const double updateMedian = Median(updateTimes), flatMedian = Median(flatTimes);
    state.counters["live"] = static_cast<double>(live);
    state.counters["ns_per_particle"] = updateMedian / static_cast<double>(live);
    state.counters["flat_ns_per_particle"] = flatMedian / static_cast<double>(live);
    state.counters["ratio_to_flat"] = flatMedian / updateMedian;
    state.counters["mean_ratio_to_flat"] = flatNs / updateNs;
    state.counters["allocs_per_frame"] = static_cast<double>(allocations) / perFrame;
    state.counters["pool_bytes_per_particle"] = static_cast<double>(manager.PoolBytes()) / static_cast<double>(live);
    manager.Remove(&system);
}

}  // namespace

BENCHMARK(UpdateAllSteadyState)->Arg(10000)->Arg(100000)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
