// Time of drawing particles in a 640x480 window seen as the editor sees it (its
// frustum, the effect 1 unit in front of the eye, the editor's 128x128 RGB texture with
// trilinear mipmaps): with tiny particles (size 0.0005, under a pixel) the cost is the
// submission; at the editor's default size 0.02 (32x24 pixels each) filling dominates.
// Each frame draws every particle once and waits for the renderer to finish, so the
// time is the frame's real cost. Needs a display (under the test command's Xvfb:
// LIBGL_ALWAYS_SOFTWARE=1 for Mesa's llvmpipe).
//
// Two paths, DrawAll (the billboard stream from client arrays, one call per batch)
// and the immediate-mode strips it replaced, each beside two baselines drawn in the
// same frames from GL 1.1 vertex arrays filled once beforehand, under the same texture,
// colours, blending and shading:
// - arrays: the very vertices DrawAll draws (the stitched strip, six per particle) in
//   one glDrawArrays, so ratio_to_arrays shows what building the stream and the calls
//   per batch cost on top of drawing the same triangles;
// - quads: four vertices per particle as GL_QUADS in one glDrawArrays, the fewest
//   vertices these squares take (ratio_to_quads).
// Counters per path: path_us, arrays_us and quads_us per frame (medians), the ratios
// baseline / path from the medians (1.0: the path costs no more than the baseline),
// mean_ratio_to_arrays from the means, and engine_allocs_per_frame: heap allocations
// of the engine's code (the global operator new, replaced below) in the timed frames
// after the first, 0 when the stream reuses its buffers. The old path runs first,
// before any array draw of this process.

#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "ImmediateBillboards.h"
#include "math/QMatrix.h"
#include "math/QRandom.h"
#include "particles/QBillboardStream.h"
#include "particles/QParticleManager.h"
#include "particles/QParticleSystem.h"
#include "platform/Platform.h"
#include "resources/QTexture.h"

namespace {
std::atomic<uint64_t> engineAllocations{0};

void* CountedAllocation(std::size_t size)
{
    engineAllocations.fetch_add(1, std::memory_order_relaxed);
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

namespace {

const int batchCount = 20;
const int particlesPerBatch = 100;  // 2000 particles per frame
const float sizes[] = {0.0005f, 0.02f};
enum Path { Immediate = 0, Stream = 1 };

std::unique_ptr<QTexture> editorTexture;

// The particles of `manager` as GL_QUADS in client arrays: corners in the order the
// strips visit them (left-up, right-up, right-down, left-down as a quad), each vertex
// with its batch's colour and the same texture coordinates.
struct QuadArrays {
    std::vector<GLfloat> positions;  // 3 per vertex
    std::vector<GLfloat> texCoords;  // 2 per vertex
    std::vector<GLfloat> colours;    // 4 per vertex
    GLsizei vertices = 0;
};

QuadArrays makeQuadArrays(const QParticleSystem& system, const QMatrix& view)
{
    const float* m = view.GetData();
    const float s = system.size;
    const Vec3 a{(m[0] + m[1]) * s, (m[4] + m[5]) * s, (m[8] + m[9]) * s};
    const Vec3 b{(m[0] - m[1]) * s, (m[4] - m[5]) * s, (m[8] - m[9]) * s};
    QuadArrays q;
    for (const QParticleBatch* batch = system.batches; batch; batch = batch->next) {
        for (const QParticle* p = batch->particles; p; p = p->next) {
            const Vec3& c = p->position;
            const GLfloat corners[4][5] = {
                {c.x - b.x, c.y - b.y, c.z - b.z, 0.0f, 1.0f},
                {c.x + a.x, c.y + a.y, c.z + a.z, 1.0f, 1.0f},
                {c.x + b.x, c.y + b.y, c.z + b.z, 1.0f, 0.0f},
                {c.x - a.x, c.y - a.y, c.z - a.z, 0.0f, 0.0f},
            };
            for (const GLfloat* v : corners) {
                q.positions.insert(q.positions.end(), v, v + 3);
                q.texCoords.insert(q.texCoords.end(), v + 3, v + 5);
                q.colours.insert(q.colours.end(), {batch->color.r, batch->color.g, batch->color.b, batch->color.a});
                ++q.vertices;
            }
        }
    }
    return q;
}

// One glDrawArrays of every quad under DrawAll's state: texturing, additive blending,
// no depth writes.
void drawArrays(const QuadArrays& q, GLuint texture)
{
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDepthMask(GL_FALSE);
    glBindTexture(GL_TEXTURE_2D, texture);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, q.positions.data());
    glTexCoordPointer(2, GL_FLOAT, 0, q.texCoords.data());
    glColorPointer(4, GL_FLOAT, 0, q.colours.data());
    glDrawArrays(GL_QUADS, 0, q.vertices);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
}

// The stream's strips of every system, each in one glDrawArrays, under DrawAll's state.
void drawStreamInOneCall(const QBillboardStream& stream)
{
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDepthMask(GL_FALSE);
    glShadeModel(GL_FLAT);
    const QBillboardVertex* v = stream.Vertices();
    const GLsizei stride = sizeof(QBillboardVertex);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, stride, &v->x);
    glTexCoordPointer(2, GL_FLOAT, stride, &v->s);
    glColorPointer(4, GL_FLOAT, stride, &v->r);
    for (const QBillboardStream::SystemRange& range : stream.Systems()) {
        glBindTexture(GL_TEXTURE_2D, range.texture);
        glDrawArrays(GL_TRIANGLE_STRIP, range.first, range.count);
    }
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glShadeModel(GL_SMOOTH);
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
}

double Median(std::vector<double>& values)
{
    if (values.empty())
        return 0.0;
    const size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle), values.end());
    return values[middle];
}

void drawParticles(benchmark::State& state)
{
    const Path path = static_cast<Path>(state.range(0));
    const float size = sizes[state.range(1)];
    const GLuint texture = editorTexture->GetID();
    QParticleManager manager(batchCount * particlesPerBatch, batchCount, false);
    const Vec3 origin{0, 0, 0};
    const Color4 colour{0.2f, 0.3f, 0.9f, 0.5f};
    QParticleSystem system(&origin, 0.0f, texture, &colour, &colour, size, 100000, false, 0);
    manager.Add(&system);
    QSeedRandom(1);
    for (int b = 0; b < batchCount; ++b) {
        QParticleBatch* batch = manager.AllocBatch();
        batch->color = colour;
        batch->colorStep = Color4{0, 0, 0, 0};
        batch->lifeLeft = 100000;
        batch->particles = manager.AllocParticles(particlesPerBatch);
        for (QParticle* p = batch->particles; p; p = p->next) {
            // Spread over the middle 90% of the screen at the effect's distance.
            p->position = Vec3{QRand() / 32767.0f * 0.72f - 0.36f, QRand() / 32767.0f * 0.72f - 0.36f, 0.0f};
            p->velocity = Vec3{0, 0, 0};
        }
        batch->next = system.batches;
        system.batches = batch;
    }
    const QMatrix view;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.2, 0.2, -0.2, 0.2, 0.5, 15.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -1.0f);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    const QuadArrays quads = makeQuadArrays(system, view);
    QBillboardStream stream;
    stream.Build(manager, view);
    // One frame first, so the stream has its buffer before the frames are counted.
    if (path == Stream)
        manager.DrawAll(view);
    else
        ImmediateDrawAll(manager, view);
    glFinish();

    constexpr size_t KEPT_FRAMES = 4096;
    std::vector<double> pathTimes, arrayTimes, quadTimes;
    pathTimes.reserve(KEPT_FRAMES);
    arrayTimes.reserve(KEPT_FRAMES);
    quadTimes.reserve(KEPT_FRAMES);
    using Clock = std::chrono::steady_clock;
    double pathUs = 0, arraysUs = 0;
    const uint64_t allocationsBefore = engineAllocations.load();
    for (auto _ : state) {
        const auto t0 = Clock::now();
        if (path == Stream)
            manager.DrawAll(view);
        else
            ImmediateDrawAll(manager, view);
        glFinish();
        const auto t1 = Clock::now();
        drawStreamInOneCall(stream);
        glFinish();
        const auto t2 = Clock::now();
        drawArrays(quads, texture);
        glFinish();
        const auto t3 = Clock::now();
        const double drawn = std::chrono::duration<double, std::micro>(t1 - t0).count();
        const double arrays = std::chrono::duration<double, std::micro>(t2 - t1).count();
        const double quadsUs = std::chrono::duration<double, std::micro>(t3 - t2).count();
        state.SetIterationTime(drawn * 1e-6);
        pathUs += drawn;
        arraysUs += arrays;
        if (pathTimes.size() < KEPT_FRAMES) {
            pathTimes.push_back(drawn);
            arrayTimes.push_back(arrays);
            quadTimes.push_back(quadsUs);
        }
    }
    const uint64_t allocations = engineAllocations.load() - allocationsBefore;
    const double frames = static_cast<double>(state.iterations());
    const double pathMedian = Median(pathTimes), arraysMedian = Median(arrayTimes), quadsMedian = Median(quadTimes);
    state.counters["path_us"] = pathMedian;
    state.counters["arrays_us"] = arraysMedian;
    state.counters["quads_us"] = quadsMedian;
    state.counters["ratio_to_arrays"] = arraysMedian / pathMedian;
    state.counters["ratio_to_quads"] = quadsMedian / pathMedian;
    state.counters["mean_ratio_to_arrays"] = arraysUs / pathUs;
    state.counters["engine_allocs_per_frame"] = static_cast<double>(allocations) / frames;
    state.SetItemsProcessed(state.iterations() * batchCount * particlesPerBatch);
    state.SetLabel(std::string(path == Stream ? "stream" : "immediate") +
                   (size < 0.001f ? ", size 0.0005" : ", size 0.02"));
    manager.Remove(&system);
}
// The immediate path first: it runs before this process has drawn from any array.
BENCHMARK(drawParticles)
    ->Args({Immediate, 0})
    ->Args({Immediate, 1})
    ->Args({Stream, 0})
    ->Args({Stream, 1})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (setupLL("bench_draw", LL_DOUBLEBUFFER, 0, 0, 640, 480) != 0) {
        std::fprintf(stderr, "bench_draw: no window (is DISPLAY set?)\n");
        return 1;
    }
    editorTexture = std::make_unique<QTexture>(128, 128, 3, 8);
    if (!editorTexture->Load(QP_ASSET_DIR "/Particle.qtex", nullptr)) {
        std::fprintf(stderr, "bench_draw: couldn't load %s\n", QP_ASSET_DIR "/Particle.qtex");
        shutdownLL();
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    editorTexture.reset();
    shutdownLL();
    return 0;
}
