// Time of QParticleManager::DrawAll per particle in a 640x480 window seen as the
// editor sees it (its frustum, the effect 1 unit in front of the eye): with tiny
// particles (size 0.0005, under a pixel) the cost is the submission of the
// immediate-mode strips; at the editor's default size 0.02 (32x24 pixels each)
// filling dominates. Each iteration draws every particle once and waits for the
// renderer to finish, so the time is the frame's real cost. Needs a display
// (under the test command's Xvfb: LIBGL_ALWAYS_SOFTWARE=1 for Mesa's llvmpipe).
//
// Baseline, in the same run: the same quads, texture, colours and blending drawn by
// one glDrawArrays call from GL 1.1 vertex arrays filled once beforehand, which is as
// close to the rasteriser's limit as this GL gets. Counters: drawall_us and arrays_us
// per frame, ratio_to_arrays = arrays_us / drawall_us (1.0: DrawAll costs no more than
// the rasteriser needs anyway; 0.1: ten times as much). The editor keeps drawing as
// it does; this only measures how far that is from the floor.

#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "math/QMatrix.h"
#include "particles/QParticleManager.h"
#include "particles/QParticleSystem.h"
#include "platform/Platform.h"

namespace {

const int batchCount = 20;
const int particlesPerBatch = 100;  // 2000 particles per frame
const float sizes[] = {0.0005f, 0.02f};

GLuint makeTexture()
{
    // 32x32 soft dot, like the editor's default texture.
    static unsigned char texels[32 * 32 * 4];
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const float dx = (x - 15.5f) / 16.0f, dy = (y - 15.5f) / 16.0f;
            float glow = 1.0f - (dx * dx + dy * dy);
            glow = glow < 0 ? 0 : glow;
            unsigned char* t = &texels[4 * (32 * y + x)];
            t[0] = t[1] = t[2] = 255;
            t[3] = static_cast<unsigned char>(255 * glow);
        }
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 32, 32, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return name;
}

// The particles of `manager` as GL_QUADS in client arrays: corners in the order
// DrawAll's strips visit them (left-up, right-up, right-down, left-down as a quad),
// each vertex with its batch's colour and the same texture coordinates.
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

double microsecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

void drawAll(benchmark::State& state)
{
    const float size = sizes[state.range(0)];
    const GLuint texture = makeTexture();
    QParticleManager manager(batchCount * particlesPerBatch, batchCount, false);
    const Vec3 origin{0, 0, 0};
    const Color4 colour{0.2f, 0.3f, 0.9f, 0.5f};
    QParticleSystem system(&origin, 0.0f, texture, &colour, &colour, size, 100000, false, 0);
    manager.Add(&system);
    std::srand(1);
    for (int b = 0; b < batchCount; ++b) {
        QParticleBatch* batch = manager.AllocBatch();
        batch->color = colour;
        batch->colorStep = Color4{0, 0, 0, 0};
        batch->lifeLeft = 100000;
        batch->particles = manager.AllocParticles(particlesPerBatch);
        for (QParticle* p = batch->particles; p; p = p->next) {
            // Spread over the middle 90% of the screen at the effect's distance.
            p->position = Vec3{std::rand() / float(RAND_MAX) * 0.72f - 0.36f,
                               std::rand() / float(RAND_MAX) * 0.72f - 0.36f, 0.0f};
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
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glFinish();
    const QuadArrays quads = makeQuadArrays(system, view);
    double drawAllUs = 0, arraysUs = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        manager.DrawAll(view);
        glFinish();
        drawAllUs += microsecondsSince(start);

        state.PauseTiming();
        start = std::chrono::steady_clock::now();
        drawArrays(quads, texture);
        glFinish();
        arraysUs += microsecondsSince(start);
        state.ResumeTiming();
    }
    const double frames = static_cast<double>(state.iterations());
    state.counters["drawall_us"] = drawAllUs / frames;
    state.counters["arrays_us"] = arraysUs / frames;
    state.counters["ratio_to_arrays"] = arraysUs / drawAllUs;
    state.SetItemsProcessed(state.iterations() * batchCount * particlesPerBatch);
    state.SetLabel(size < 0.001f ? "size 0.0005" : "size 0.02");
    // Seconds per particle, printed with an SI prefix (u = microseconds).
    state.counters["per_particle"] =
        benchmark::Counter(static_cast<double>(state.iterations() * batchCount * particlesPerBatch),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    glDeleteTextures(1, &texture);
}
BENCHMARK(drawAll)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (setupLL("bench_draw", LL_DOUBLEBUFFER, 0, 0, 640, 480) != 0) {
        std::fprintf(stderr, "bench_draw: no window (is DISPLAY set?)\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    shutdownLL();
    return 0;
}
