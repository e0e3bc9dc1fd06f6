// qprender's frame rate at 640x480: one simulated 16 ms frame, drawn into the
// offscreen framebuffer and read back (what every captured frame costs), and the
// same plus the PNG write of a series frame. With the default effect (about 100
// live particles) and with about 10,000 (rate 10,000 per second, 1000 ms life).
//
// BM_Series120: whole qprender runs of the default effect, 120 frames of 640x480
// 16 ms apart, each iteration running today's path (one thread, libpng's default
// effort) and then the PNG series, GIF and WebP paths, so the ratios come from the
// same moments of the same machine. Counters: frames per second of each path,
// their ratio to today's, the bytes written, and the GIF's fidelity to the PNG
// frames: PSNR over R, G, B (99 when exact) and the mean absolute error per channel.

#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <sys/stat.h>

#include <cmath>

#include <chrono>

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
#include "tools/qprender/RenderOptions.h"
#include "tools/qprender/RenderRun.h"
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

std::string Scratch(const std::string& name)
{
    return std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/bench_render_" + name;
}

uint64_t FileBytes(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? uint64_t(info.st_size) : 0;
}

// The files of a 120-frame run into `output`: a series, or one animation.
std::vector<std::string> Files(const std::string& output)
{
    std::vector<std::string> files;
    std::string name;
    for (uint32_t i = 1; i <= 120 && ExpandSeriesName(output, i, name); ++i)
        files.push_back(name);
    if (files.empty())
        files.push_back(output);
    return files;
}

// One qprender run of 120 frames into `output`; its seconds, or -1 on failure.
double TimedRun(const std::string& output, bool baseline)
{
    const std::string texture = std::string(QP_ASSET_DIR) + "/Particle.qtex";
    std::vector<std::string> args = {"qprender", texture, "--frames", "120", "-o", output};
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    RenderOptions options;
    std::string error;
    if (!ParseRenderOptions(int(argv.size()), argv.data(), options, error))
        return -1.0;
    const auto start = std::chrono::steady_clock::now();
    RenderTuning tuning;
    tuning.plainPng = baseline;
    if (RunRender(options, stdout, stderr, tuning) != 0)
        return -1.0;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Adds the GIF's error against the PNG series to `mae` (per channel) and returns
// the squared error summed over every channel; false when a file can't be read.
bool GifError(const std::string& gifPath, const std::vector<std::string>& pngs, double mae[3], double& squares,
              double& samples)
{
    int error = 0;
    GifFileType* gif = DGifOpenFileName(gifPath.c_str(), &error);
    if (!gif)
        return false;
    bool ok = DGifSlurp(gif) == GIF_OK && size_t(gif->ImageCount) == pngs.size();
    for (int i = 0; ok && i < gif->ImageCount; ++i) {
        PngImage png;
        std::string message;
        ok = ReadPng(pngs[size_t(i)], png, message, 3);
        const SavedImage& image = gif->SavedImages[i];
        for (size_t p = 0; ok && p < size_t(png.width) * png.height; ++p) {
            const GifColorType c = image.ImageDesc.ColorMap->Colors[image.RasterBits[p]];
            const int shown[3] = {c.Red, c.Green, c.Blue};
            for (int k = 0; k < 3; ++k) {
                const double d = double(shown[k]) - png.pixels[3 * p + k];
                mae[k] += std::fabs(d);
                squares += d * d;
            }
        }
        samples += double(png.width) * png.height;
    }
    DGifCloseFile(gif, &error);
    return ok;
}

void BM_Series120(benchmark::State& state)
{
    struct Path {
        const char* name;
        std::string output;
        bool baseline;
        double seconds = 0.0;
        uint64_t bytes = 0;
    };
    Path paths[] = {{"today_png", Scratch("today%03d.png"), true},
                    {"png", Scratch("fast%03d.png"), false},
                    {"gif", Scratch("anim.gif"), false},
                    {"webp", Scratch("anim.webp"), false}};
    for (auto _ : state) {
        for (Path& p : paths) {
            const double seconds = TimedRun(p.output, p.baseline);
            if (seconds < 0.0) {
                state.SkipWithError("a qprender run failed");
                return;
            }
            p.seconds += seconds;
            p.bytes = 0;
            for (const std::string& file : Files(p.output))
                p.bytes += FileBytes(file);
        }
    }
    double mae[3] = {0, 0, 0}, squares = 0, samples = 0;
    if (!GifError(paths[2].output, Files(paths[1].output), mae, squares, samples)) {
        state.SkipWithError("the GIF or the PNG frames can't be read back");
        return;
    }
    const double mse = squares / (3 * samples);
    state.counters["gif_psnr"] = mse > 0 ? 10.0 * std::log10(255.0 * 255.0 / mse) : 99.0;
    state.counters["gif_mae_r"] = mae[0] / samples;
    state.counters["gif_mae_g"] = mae[1] / samples;
    state.counters["gif_mae_b"] = mae[2] / samples;
    const double runs = double(state.iterations());
    for (Path& p : paths) {
        const double fps = 120.0 * runs / p.seconds;
        state.counters[std::string(p.name) + "_fps"] = fps;
        state.counters[std::string(p.name) + "_x_today"] = paths[0].seconds / p.seconds;
        state.counters[std::string(p.name) + "_bytes"] = double(p.bytes);
        for (const std::string& file : Files(p.output))
            remove(file.c_str());
    }
}

}  // namespace

BENCHMARK(BM_Series120)->Iterations(2)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_DefaultEffect)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TenThousandParticles)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DefaultEffectWithPng)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TenThousandParticlesWithPng)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
