// Steady-state cost of QParticleManager::UpdateAll at 10k, 100k and 1M live particles,
// against a flat structure-of-arrays loop doing the same position += s * velocity work
// over the same count in the same run. Also counts heap allocations per frame (every
// engine allocation goes through the global operator new, replaced below) and the pool
// memory per live particle.
//
// Counters: ns_per_particle (UpdateAll), flat_ns_per_particle, ratio_to_flat (flat time
// / UpdateAll time: 1.0 means as fast as the flat loop), allocs_per_frame,
// pool_bytes_per_particle, live.

#include "particles/QParticleManager.h"
#include "particles/QParticleSystem.h"

#include <benchmark/benchmark.h>

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

    // Each frame runs UpdateAll and then one pass of the flat loop, timed apart, so both
    // meet the caches the same way.
    using Clock = std::chrono::steady_clock;
    double updateNs = 0.0, flatNs = 0.0;
    uint64_t frames = 0;
    const uint64_t allocationsBefore = heapAllocations.load();
    for (auto _ : state) {
        const auto t0 = Clock::now();
        manager.UpdateAll(FRAME_MS);
        const auto t1 = Clock::now();
        state.PauseTiming();
        const auto f0 = Clock::now();
        for (uint64_t i = 0; i < live; ++i) {
            px[i] += s * vx[i];
            py[i] += s * vy[i];
            pz[i] += s * vz[i];
        }
        benchmark::DoNotOptimize(px.data());
        benchmark::DoNotOptimize(py.data());
        benchmark::DoNotOptimize(pz.data());
        benchmark::ClobberMemory();
        const auto f1 = Clock::now();
        state.ResumeTiming();
        updateNs += std::chrono::duration<double, std::nano>(t1 - t0).count();
        flatNs += std::chrono::duration<double, std::nano>(f1 - f0).count();
        ++frames;
    }
    const uint64_t allocations = heapAllocations.load() - allocationsBefore;

    const double perFrame = static_cast<double>(frames);
    state.counters["live"] = static_cast<double>(live);
    state.counters["ns_per_particle"] = updateNs / perFrame / static_cast<double>(live);
    state.counters["flat_ns_per_particle"] = flatNs / perFrame / static_cast<double>(live);
    state.counters["ratio_to_flat"] = flatNs / updateNs;
    state.counters["allocs_per_frame"] = static_cast<double>(allocations) / perFrame;
    state.counters["pool_bytes_per_particle"] = static_cast<double>(manager.PoolBytes()) / static_cast<double>(live);
    manager.Remove(&system);
}

}  // namespace

BENCHMARK(UpdateAllSteadyState)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
