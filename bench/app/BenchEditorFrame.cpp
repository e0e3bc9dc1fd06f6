// The editor's frame under Xvfb with Mesa: time per frame at the default settings
// (about 100 live particles) and at 2,000 and 10,000 live particles, split into particle update, particle drawing and
// text drawing (each closed by glFinish, so the software renderer's work is
// counted where it happens), and the time from start-up to the first swapped frame.
// Baseline, in the same run and window: an empty frame (clear, finish, swap), the
// least any frame of this window costs. ratio_to_empty_frame = empty_us / frame_us.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include <GL/gl.h>
#include <unistd.h>

#include "app/Editor.h"
#include "app/EditorState.h"
#include "app/KeyReader.h"
#include "particles/QParticleBatch.h"
#include "particles/QParticle.h"
#include "platform/Platform.h"

namespace {

using Clock = std::chrono::steady_clock;

const unsigned int frameMs = 16;  // a 60 Hz frame step for the simulation

double Since(Clock::time_point start)
{
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count();
}

int StartSession(EditorSession& session)
{
    // Font.QF is read from the working directory, as the editor does.
    if (chdir(QP_ASSET_DIR) != 0)
        return 1;
    ResetEditorState();
    lastKey = 0;
    std::string program = "qpedit", texture = "Particle.qtex";
    char* argv[] = {&program[0], &texture[0], nullptr};
    return session.Start(2, argv);
}

long LiveParticles(const QParticleSystem& system)
{
    long n = 0;
    for (const QParticleBatch* b = system.batches; b; b = b->next)
        for (const QParticle* p = b->particles; p; p = p->next)
            ++n;
    return n;
}

// One frame as the loop runs it, with the three parts timed apart.
void RunFrames(benchmark::State& state, int emitRate)
{
    EditorSession session;
    if (StartSession(session) != 0) {
        state.SkipWithError("the editor didn't start (no display, or no assets in QP_ASSET_DIR)");
        return;
    }
    if (emitRate > 0) {
        settings.emitRate = emitRate;
        session.System()->SetEmitRate(static_cast<uint32_t>(emitRate));
    }
    // Two simulated seconds reach the steady state: a lifetime's worth of batches.
    for (int i = 0; i < 2000 / static_cast<int>(frameMs); ++i)
        session.Update(frameMs);

    double update = 0, particles = 0, text = 0, present = 0;
    for (auto _ : state) {
        Clock::time_point t = Clock::now();
        session.Update(frameMs);
        update += Since(t);

        t = Clock::now();
        session.DrawEffect(frameMs / 1000.0f);
        glFinish();
        particles += Since(t);

        t = Clock::now();
        session.DrawOverlay();
        glFinish();
        text += Since(t);

        t = Clock::now();
        swapBuffersLL();
        present += Since(t);
    }
    double frames = static_cast<double>(state.iterations());
    double empty = 0;
    for (int i = 0; i < state.iterations(); ++i) {
        const Clock::time_point t = Clock::now();
        glClear(GL_COLOR_BUFFER_BIT);
        glFinish();
        swapBuffersLL();
        empty += Since(t);
    }
    state.counters["live"] = static_cast<double>(LiveParticles(*session.System()));
    state.counters["update_us"] = update / frames / 1000.0;
    state.counters["particles_us"] = particles / frames / 1000.0;
    state.counters["text_us"] = text / frames / 1000.0;
    state.counters["swap_us"] = present / frames / 1000.0;
    state.counters["frame_us"] = (update + particles + text + present) / frames / 1000.0;
    state.counters["empty_us"] = empty / frames / 1000.0;
    state.counters["ratio_to_empty_frame"] = empty / (update + particles + text + present);
    session.Stop();
}

void BM_FrameDefaultSettings(benchmark::State& state)
{
    RunFrames(state, 0);
}
BENCHMARK(BM_FrameDefaultSettings)->Iterations(300)->Unit(benchmark::kMicrosecond);

void BM_Frame2000Particles(benchmark::State& state)
{
    // 2,000 per second living 1000 ms keep about 2,000 alive.
    RunFrames(state, 2000);
}
BENCHMARK(BM_Frame2000Particles)->Iterations(150)->Unit(benchmark::kMicrosecond);

void BM_Frame10000Particles(benchmark::State& state)
{
    // 10,000 per second living 1000 ms keep about 10,000 alive.
    RunFrames(state, 10000);
}
BENCHMARK(BM_Frame10000Particles)->Iterations(100)->Unit(benchmark::kMicrosecond);

// Start-up through the first presented frame: window, texture, font, GL state,
// settings, system; then one frame of the loop.
void BM_StartToFirstSwappedFrame(benchmark::State& state)
{
    for (auto _ : state) {
        EditorSession session;
        if (StartSession(session) != 0) {
            state.SkipWithError("the editor didn't start");
            return;
        }
        session.Frame();
        glFinish();
        state.PauseTiming();
        session.Stop();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartToFirstSwappedFrame)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
