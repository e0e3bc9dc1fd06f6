#include "tools/qprender/OutputSink.h"

#include "tools/common/ToolInput.h"

#include "tools/qprender/GifSink.h"
#include "tools/qprender/PictureSink.h"
#include "tools/qprender/SeriesSink.h"
#include "tools/qprender/SheetSink.h"
#include "tools/qprender/WebpSink.h"

std::unique_ptr<OutputSink> MakeOutputSink(const RenderOptions& o, uint32_t frameWidth, const RenderTuning& tuning)
{
    switch (o.output) {
    case RenderOutput::Picture: return std::unique_ptr<OutputSink>(new PictureSink(o, frameWidth));
    case RenderOutput::Sheet: return std::unique_ptr<OutputSink>(new SheetSink(o, frameWidth, o.sheetColumns));
    case RenderOutput::Series: return std::unique_ptr<OutputSink>(new SeriesSink(o, frameWidth, tuning));
    case RenderOutput::Gif: return std::unique_ptr<OutputSink>(new GifSink(o, frameWidth, tuning));
    case RenderOutput::Webp: return std::unique_ptr<OutputSink>(new WebpSink(o, frameWidth, tuning));
    }
    return nullptr;
}

uint32_t CaptureStartMs(const RenderOptions& o, size_t k)
{
    return o.times[k] - o.times[0];
}

uint32_t CaptureEndMs(const RenderOptions& o, size_t k)
{
    if (k + 1 < o.times.size())
        return CaptureStartMs(o, k + 1);
    return CaptureStartMs(o, k) + (k > 0 ? o.times[k] - o.times[k - 1] : o.stepMs);
}

bool OutputIsNoInput(const RenderOptions& o, std::string& error)
{
    const std::string* inputs[] = {&o.texturePath, &o.effectPath, &o.againstPath, &o.fontPath};
    const uint32_t count = o.output == RenderOutput::Series ? uint32_t(o.times.size()) : 1;
    for (uint32_t k = 1; k <= count; ++k) {
        std::string name = o.outputPath;
        if (o.output == RenderOutput::Series)
            ExpandSeriesName(o.outputPath, k, name);
        for (const std::string* input : inputs) {
            if (!input->empty() && OutputIsInput(name, *input, error))
                return false;
        }
    }
    return true;
}
