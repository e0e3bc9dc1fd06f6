#include "tools/qprender/GifSink.h"

#include <algorithm>

#include "files/NameText.h"
#include "tools/qprender/FramePalette.h"

namespace {

// A frame with its palette and the palette's indices, from Encode to Commit.
struct GifFrame : PipelineFrame {
    IndexedFrame indexed;
};

// Most GIF viewers show a frame shorter than 2 hundredths for a tenth of a second.
void WarnOfShortFrames(const RenderOptions& o, FILE* messages)
{
    if (o.times.size() < 2)
        return;
    uint32_t shortest = CaptureEndMs(o, 0);
    for (size_t k = 1; k < o.times.size(); ++k)
        shortest = std::min(shortest, o.times[k] - o.times[k - 1]);
    if (shortest < 20)
        fprintf(messages,
                "qprender: %s: warning: frames %u ms apart; most GIF viewers slow frames under 20 ms down to "
                "100 ms (--interval 20 or more plays true)\n",
                EscapedName(o.outputPath).c_str(), shortest);
}

}  // namespace

GifSink::GifSink(const RenderOptions& options, uint32_t frameWidth, const RenderTuning& tuning)
    : PipelineSink(options, frameWidth, WorkerCount(tuning)),
      builder(frameWidth, options.height)
{}

bool GifSink::Begin(FILE* messages, std::string& error)
{
    WarnOfShortFrames(o, messages);
    std::string problem;
    if (!file.Begin(o.outputPath.c_str(), problem)) {
        error = o.outputPath + ": " + problem;
        return false;
    }
    const GifOutput output = [this](const uint8_t* bytes, size_t size, std::string& why) {
        return file.Append(bytes, size, why);
    };
    if (!builder.Start(output, error)) {
        error = o.outputPath + ": " + error;
        return false;
    }
    return PipelineSink::Begin(messages, error);
}

std::unique_ptr<PipelineFrame> GifSink::NewFrame()
{
    return std::unique_ptr<PipelineFrame>(new GifFrame);
}

bool GifSink::Encode(PipelineFrame& f, std::string&)
{
    QuantizeFrame(f.pixels.data(), width, height, components, static_cast<GifFrame&>(f).indexed);
    return true;
}

bool GifSink::Commit(PipelineFrame& f, std::string& error)
{
    // Delays in hundredths, rounded from the start so they never drift.
    const uint32_t from = (CaptureStartMs(o, f.index) + 5) / 10, to = (CaptureEndMs(o, f.index) + 5) / 10;
    if (!builder.Add(static_cast<GifFrame&>(f).indexed, to - from, error)) {
        error = o.outputPath + ": " + error;
        return false;
    }
    return true;
}

bool GifSink::Close(std::string& error)
{
    std::string problem;
    if (!builder.Finish(error) || !file.Commit(problem)) {
        error = o.outputPath + ": " + (problem.empty() ? error : problem);
        return false;
    }
    return true;
}
