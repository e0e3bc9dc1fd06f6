#include "tools/qprender/WebpSink.h"

#include "tools/common/WholeFile.h"

WebpSink::WebpSink(const RenderOptions& options, uint32_t frameWidth, const RenderTuning& tuning)
    : PipelineSink(options, frameWidth, WorkerCount(tuning)),
      builder(frameWidth, options.height, options.transparent ? 4 : 3, options.quality)
{}

bool WebpSink::Commit(PipelineFrame& f, std::string& error)
{
    if (!builder.Add(f.pixels.data(), CaptureStartMs(o, f.index), error)) {
        error = o.outputPath + ": " + error;
        return false;
    }
    return true;
}

bool WebpSink::Close(std::string& error)
{
    std::vector<uint8_t> bytes;
    if (!builder.Finish(CaptureEndMs(o, o.times.size() - 1), bytes, error)) {
        error = o.outputPath + ": " + error;
        return false;
    }
    return WriteFileWhole(o.outputPath, bytes, error);
}
