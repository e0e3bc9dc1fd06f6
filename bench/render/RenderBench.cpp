// qprender's frame rate at 640x480: one simulated 16 ms frame, drawn into the
// offscreen framebuffer and read back (what every captured frame costs), and the
// same plus the PNG write of a series frame. With the default effect (about 100
// live particles) and with about 10,000 (rate 10,000 per second, 1000 ms life).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "effect/EmitterSettings.h"
#include "platform/OffscreenLL.h"
#include "resources/QTexture.h"
#include "tools/common/PngFile.h"
#include "tools/qprender/PreviewRenderer.h"
#include "tools/qprender/SheetImage.h"

namespace {

const int width = 640, height = 480;

// One context and texture for the whole run.
struct Context {
    std::unique_ptr<QTexture> texture;
    bool ready = false;
    Context()
    {
        if (setupOffscreenLL(width, height, OFFSCREEN_ANY) != 0) {
            fprintf(stderr, "bench_render: %s\n", offscreenErrorLL());
            return;
        }
        texture.reset(new QTexture(128, 128, 3, 8));
        const std::string path = std::string(QP_ASSET_DIR) + "/Particle.qtex";
        if (!texture->Load(path.c_str(), nullptr)) {
            fprintf(stderr, "bench_render: couldn't load %s\n", path.c_str());
            return;
        }
        ready = true;
    }
};

Context& Shared()
{
    static Context context;
    return context;
}

void RenderFrames(benchmark::State& state, int emitRate, bool writePng)
{
    Context& context = Shared();
    if (!context.ready) {
        state.SkipWithError("no offscreen GL context");
        return;
    }
    EmitterSettings settings = DefaultEmitterSettings();
    settings.emitRate = emitRate;
    PreviewRenderer preview(settings, context.texture->GetID(), 1.0f, Vec3{0.0f, 20.0f, 0.0f});
    preview.SetUpEditorGL();
    for (int i = 0; i < 70; ++i)
        preview.Advance(16);  // past one lifetime: steady state
    const float black[3] = {0.0f, 0.0f, 0.0f};
    std::vector<uint8_t> frame(size_t(width) * height * 4);
    const std::string png = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/bench_render.png";
    for (auto _ : state) {
        preview.Advance(16);
        preview.Draw(black);
        readOffscreenLL(frame.data());
        if (writePng) {
            SheetImage image(1, 1, width, height, black, false);
            image.Place(0, frame.data());
            std::string error;
            if (!WritePng(png, image.Width(), image.Height(), image.Components(), image.Pixels().data(), error)) {
                state.SkipWithError(error.c_str());
                break;
            }
        }
        benchmark::DoNotOptimize(frame.data());
    }
    remove(png.c_str());
    state.counters["particles"] = double(preview.Digest().particles);
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_DefaultEffect(benchmark::State& state)
{
    RenderFrames(state, 100, false);
}
void BM_TenThousandParticles(benchmark::State& state)
{
    RenderFrames(state, 10000, false);
}
void BM_DefaultEffectWithPng(benchmark::State& state)
{
    RenderFrames(state, 100, true);
}
void BM_TenThousandParticlesWithPng(benchmark::State& state)
{
    RenderFrames(state, 10000, true);
}

}  // namespace

BENCHMARK(BM_DefaultEffect)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TenThousandParticles)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DefaultEffectWithPng)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TenThousandParticlesWithPng)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
