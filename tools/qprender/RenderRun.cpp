#include "tools/qprender/RenderRun.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "effect/EffectCheck.h"
#include "effect/EffectView.h"
#include "effect/EmitterSettings.h"
#include "files/RegularFile.h"
#include "platform/OffscreenLL.h"
#include "resources/QTexture.h"
#include "tools/common/PngFile.h"
#include "tools/common/WholeFile.h"
#include "tools/qprender/AnimationFile.h"
#include "tools/qprender/FastPng.h"
#include "tools/qprender/FramePalette.h"
#include "tools/qprender/FramePipeline.h"
#include "tools/qprender/PreviewRenderer.h"
#include "tools/qprender/ProgressLine.h"
#include "tools/qprender/SheetImage.h"

namespace {

// Reads the effect as the editor's start-up does; a file the editor would replace
// with the defaults is an error here, since the picture would not show it.
bool ReadSettings(const std::string& path, EmitterSettings& settings, FILE* messages)
{
    if (path.empty()) {
        settings = DefaultEmitterSettings();
        return true;
    }
    const EffectReport report = InspectEffectFile(path.c_str());
    for (const std::string& problem : report.problems)
        fprintf(messages, "qprender: %s: %s\n", path.c_str(), problem.c_str());
    if (report.result != EFFECT_OK)
        return false;
    settings = report.settings;
    return true;
}

unsigned char ContextKinds(RenderContext context)
{
    switch (context) {
    case RenderContext::Egl: return OFFSCREEN_EGL;
    case RenderContext::Sdl: return OFFSCREEN_SDL;
    case RenderContext::Any: break;
    }
    return OFFSCREEN_ANY;
}

// The GL context for the whole run; gone when the run ends, whichever way.
struct OffscreenScope {
    bool active = false;
    ~OffscreenScope()
    {
        if (active)
            shutdownOffscreenLL();
    }
};

// Milliseconds from the first capture to capture k, and how long capture k shows:
// until the next capture, the last one as long as the one before it (one step
// when there is only one).
uint32_t StartMs(const RenderOptions& o, size_t k)
{
    return o.times[k] - o.times[0];
}
uint32_t EndMs(const RenderOptions& o, size_t k)
{
    if (k + 1 < o.times.size())
        return StartMs(o, k + 1);
    return StartMs(o, k) + (k > 0 ? o.times[k] - o.times[k - 1] : o.stepMs);
}

// A numbered PNG series: frames encoded in parallel, files written in order.
class SeriesSink : public FrameSink {
public:
    SeriesSink(const RenderOptions& options, uint32_t w, uint32_t h, int n, bool plain)
        : o(options),
          plainPng(plain),
          width(w),
          height(h),
          components(n)
    {}
    bool Encode(PipelineFrame& f, std::string& error) override
    {
        if (plainPng)
            return true;
        return EncodeFastPng(width, height, components, f.pixels.data(), f.encoded, error);
    }
    bool Commit(PipelineFrame& f, std::string& error) override
    {
        std::string name;
        ExpandSeriesName(o.outputPath, f.index + 1, name);
        if (plainPng)
            return WritePng(name, width, height, components, f.pixels.data(), error);
        return WriteFileWhole(name, f.encoded, error);
    }

private:
    const RenderOptions& o;
    bool plainPng;
    uint32_t width, height;
    int components;
};

// An animated GIF: palettes chosen in parallel, frames added in order.
class GifSink : public FrameSink {
public:
    GifSink(const RenderOptions& options, uint32_t w, uint32_t h, int n)
        : o(options),
          width(w),
          height(h),
          components(n),
          builder(w, h)
    {}
    bool Encode(PipelineFrame& f, std::string&) override
    {
        IndexedFrame indexed;
        QuantizeFrame(f.pixels.data(), width, height, components, indexed);
        f.encoded.swap(indexed.indices);
        f.palette.swap(indexed.palette);
        f.transparentIndex = indexed.transparentIndex;
        return true;
    }
    bool Commit(PipelineFrame& f, std::string& error) override
    {
        IndexedFrame indexed;
        indexed.indices.swap(f.encoded);
        indexed.palette.swap(f.palette);
        indexed.transparentIndex = f.transparentIndex;
        // Delays in hundredths, rounded from the start so they never drift.
        const uint32_t from = (StartMs(o, f.index) + 5) / 10, to = (EndMs(o, f.index) + 5) / 10;
        if (!builder.Add(indexed, to - from, error)) {
            error = o.outputPath + ": " + error;
            return false;
        }
        return true;
    }
    bool Finish(std::string& error)
    {
        std::vector<uint8_t> bytes;
        if (!builder.Finish(bytes, error)) {
            error = o.outputPath + ": " + error;
            return false;
        }
        return WriteFileWhole(o.outputPath, bytes, error);
    }

private:
    const RenderOptions& o;
    uint32_t width, height;
    int components;
    GifBuilder builder;
};

// An animated WebP: libwebp's animation encoder takes the frames in order.
class WebpSink : public FrameSink {
public:
    WebpSink(const RenderOptions& options, uint32_t w, uint32_t h, int n)
        : o(options),
          builder(w, h, n, options.quality)
    {}
    bool Encode(PipelineFrame&, std::string&) override { return true; }
    bool Commit(PipelineFrame& f, std::string& error) override
    {
        if (!builder.Add(f.pixels.data(), StartMs(o, f.index), error)) {
            error = o.outputPath + ": " + error;
            return false;
        }
        return true;
    }
    bool Finish(std::string& error)
    {
        std::vector<uint8_t> bytes;
        if (!builder.Finish(EndMs(o, o.times.size() - 1), bytes, error)) {
            error = o.outputPath + ": " + error;
            return false;
        }
        return WriteFileWhole(o.outputPath, bytes, error);
    }

private:
    const RenderOptions& o;
    WebpBuilder builder;
};

// Lays two frames (bottom-up RGBA, width x height) side by side with their
// difference, every channel's absolute difference times the scale.
void ComposeComparison(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, uint32_t width, uint32_t height,
                       std::vector<uint8_t>& out)
{
    const size_t row = size_t(width) * 4;
    out.resize(row * 3 * height);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* ra = a.data() + y * row;
        const uint8_t* rb = b.data() + y * row;
        uint8_t* to = out.data() + y * row * 3;
        std::copy(ra, ra + row, to);
        std::copy(rb, rb + row, to + row);
        uint8_t* difference = to + 2 * row;
        for (size_t i = 0; i < row; ++i) {
            const int d = std::abs(int(ra[i]) - int(rb[i])) * int(RENDER_DIFFERENCE_SCALE);
            difference[i] = uint8_t(std::min(255, d));
        }
    }
}

}  // namespace

int RunRender(const RenderOptions& o, FILE* stateOut, FILE* messages, SeriesEncoding encoding)
{
    const bool comparing = !o.againstPath.empty();
    const int trouble = comparing ? 2 : 1;
    EmitterSettings settings, againstSettings;
    if (!ReadSettings(o.effectPath, settings, messages))
        return trouble;
    if (comparing && !ReadSettings(o.againstPath, againstSettings, messages))
        return trouble;

    OffscreenScope scope;
    std::unique_ptr<QTexture> texture;
    uint32_t textureName = 0;
    if (o.writeImages) {
        if (setupOffscreenLL(int(o.width), int(o.height), ContextKinds(o.context)) != 0) {
            fprintf(messages, "qprender: %s\n", offscreenErrorLL());
            return trouble;
        }
        scope.active = true;
        texture.reset(
            new QTexture(EFFECT_TEXTURE_SIDE, EFFECT_TEXTURE_SIDE, EFFECT_TEXTURE_COMPONENTS, EFFECT_TEXTURE_NAMES));
        if (!texture->Load(o.texturePath.c_str(), nullptr)) {
            std::string problem;
            FILE* probe = OpenRegularFile(o.texturePath.c_str(), &problem);
            if (!probe) {
                fprintf(messages, "qprender: %s: can't be read: %s\n", o.texturePath.c_str(), problem.c_str());
            } else {
                fclose(probe);
                fprintf(messages, "qprender: %s: not a QTEX texture that the engine can load\n", o.texturePath.c_str());
            }
            return trouble;
        }
        textureName = texture->GetID();
    }

    PreviewRenderer preview(settings, textureName, o.cameraDistance, o.turnSpeed, o.seed);
    std::unique_ptr<PreviewRenderer> against;
    if (comparing)
        against.reset(new PreviewRenderer(againstSettings, textureName, o.cameraDistance, o.turnSpeed, o.seed));
    if (o.writeImages) {
        preview.SetUpEditorGL();
        if (against)
            against->SetUpEditorGL();  // each keeps the projection it draws with
    }

    const uint32_t captureCount = uint32_t(o.times.size());
    const uint32_t frameWidth = o.width * (comparing ? 3 : 1);
    const int components = o.transparent ? 4 : 3;
    const bool plainPng = encoding == SeriesEncoding::PlainPng;
    std::unique_ptr<SheetImage> sheet;
    std::unique_ptr<FrameSink> sink;
    GifSink* gif = nullptr;
    WebpSink* webp = nullptr;
    if (o.writeImages) {
        switch (o.output) {
        case RenderOutput::Picture:
        case RenderOutput::Sheet:
            sheet.reset(new SheetImage(captureCount, o.sheetColumns ? o.sheetColumns : 1, frameWidth, o.height,
                                       o.background, o.transparent));
            break;
        case RenderOutput::Series: sink.reset(new SeriesSink(o, frameWidth, o.height, components, plainPng)); break;
        case RenderOutput::Gif: sink.reset(gif = new GifSink(o, frameWidth, o.height, components)); break;
        case RenderOutput::Webp: sink.reset(webp = new WebpSink(o, frameWidth, o.height, components)); break;
        }
    }
    // Most GIF viewers show a frame shorter than 2 hundredths for a tenth of a second.
    if (gif && captureCount > 1) {
        uint32_t shortest = EndMs(o, 0);
        for (size_t k = 1; k < o.times.size(); ++k)
            shortest = std::min(shortest, o.times[k] - o.times[k - 1]);
        if (shortest < 20)
            fprintf(messages,
                    "qprender: %s: warning: frames %u ms apart; most GIF viewers slow frames under 20 ms down to "
                    "100 ms (--interval 20 or more plays true)\n",
                    o.outputPath.c_str(), shortest);
    }
    std::unique_ptr<FramePipeline> pipeline;
    if (sink) {
        const unsigned workers = plainPng ? 0 : FramePipeline::DefaultWorkers();
        pipeline.reset(new FramePipeline(*sink, workers, 2 * size_t(workers) + 2));
    }
    ProgressLine progress(messages, captureCount);

    std::vector<uint8_t> frame(o.writeImages ? size_t(o.width) * o.height * 4 : 0);
    std::vector<uint8_t> againstFrame(comparing ? frame.size() : 0), composed;
    uint64_t frameNumber = 0, firstDifferentFrame = 0, firstDifferentTime = 0;
    uint32_t firstDifferentCapture = 0;  // 1 up; 0: none
    bool failed = false;
    for (uint32_t capture = 0; capture < captureCount && !failed; ++capture) {
        const uint64_t target = o.times[capture];
        while (preview.Elapsed() < target) {
            const uint64_t left = target - preview.Elapsed();
            const uint32_t ms = uint32_t(left < o.stepMs ? left : o.stepMs);
            preview.Advance(ms);
            ++frameNumber;
            const StateDigest d = preview.Digest();
            if (o.printState)
                fprintf(stateOut, "frame %" PRIu64 " time %" PRIu64 " particles %" PRIu64 " hash %016" PRIx64 "\n",
                        frameNumber, preview.Elapsed(), d.particles, d.hash);
            if (against) {
                against->Advance(ms);
                const StateDigest e = against->Digest();
                if (!firstDifferentFrame && (d.particles != e.particles || d.hash != e.hash)) {
                    firstDifferentFrame = frameNumber;
                    firstDifferentTime = preview.Elapsed();
                }
            }
        }
        if (o.writeImages) {
            preview.Draw(o.background);
            readOffscreenLL(frame.data());
            const std::vector<uint8_t>* raw = &frame;
            if (against) {
                against->Draw(o.background);
                readOffscreenLL(againstFrame.data());
                if (!firstDifferentCapture && frame != againstFrame)
                    firstDifferentCapture = capture + 1;
                ComposeComparison(frame, againstFrame, o.width, o.height, composed);
                raw = &composed;
            }
            if (sheet) {
                sheet->Place(capture, raw->data());
            } else {
                SheetImage single(1, 1, frameWidth, o.height, o.background, o.transparent);
                single.Place(0, raw->data());
                std::unique_ptr<PipelineFrame> next(new PipelineFrame);
                next->index = capture;
                next->pixels = single.Pixels();
                failed = !pipeline->Submit(std::move(next));
            }
        }
        progress.Update(pipeline ? pipeline->Committed() : capture + 1);
    }

    // The last frames may still be encoding: keep the progress line going.
    while (pipeline && !pipeline->WaitForCommits(std::chrono::milliseconds(200)))
        progress.Update(pipeline->Committed());
    std::string error;
    if (pipeline && !pipeline->Finish(error)) {
        progress.Clear();
        fprintf(messages, "qprender: %s\n", error.c_str());
        return trouble;
    }
    bool written = true;
    if (gif)
        written = gif->Finish(error);
    else if (webp)
        written = webp->Finish(error);
    else if (sheet)
        written =
            WritePng(o.outputPath, sheet->Width(), sheet->Height(), sheet->Components(), sheet->Pixels().data(), error);
    progress.Clear();
    if (!written) {
        fprintf(messages, "qprender: %s\n", error.c_str());
        return trouble;
    }

    if (comparing) {
        if (firstDifferentFrame)
            fprintf(stateOut, "simulations: differ from frame %" PRIu64 " (%" PRIu64 " ms) on\n", firstDifferentFrame,
                    firstDifferentTime);
        else
            fprintf(stateOut, "simulations: same over %" PRIu64 " frames\n", frameNumber);
        if (o.writeImages && firstDifferentCapture)
            fprintf(stateOut, "pictures: differ from capture %u (%u ms) on\n", firstDifferentCapture,
                    o.times[firstDifferentCapture - 1]);
        else if (o.writeImages)
            fprintf(stateOut, "pictures: same over %u captures\n", captureCount);
    }
    if ((o.printState || comparing) && fflush(stateOut) != 0) {
        fprintf(messages, "qprender: couldn't write to standard output\n");
        return trouble;
    }
    if (comparing)
        return firstDifferentFrame || firstDifferentCapture ? 1 : 0;
    return 0;
}
