#include "tools/qprender/SeriesSink.h"

#include "tools/common/PngFile.h"
#include "tools/common/WholeFile.h"
#include "tools/qprender/FastPng.h"

SeriesSink::SeriesSink(const RenderOptions& options, uint32_t frameWidth, const RenderTuning& tuning)
    : PipelineSink(options, frameWidth, tuning.plainPng ? 0 : WorkerCount(tuning)),
      plainPng(tuning.plainPng)
{}

bool SeriesSink::Encode(PipelineFrame& f, std::string& error)
{
    if (plainPng)
        return true;
    return EncodeFastPng(width, height, components, f.pixels.data(), f.encoded, error);
}

bool SeriesSink::Commit(PipelineFrame& f, std::string& error)
{
    std::string name;
    ExpandSeriesName(o.outputPath, f.index + 1, name);
    if (plainPng)
        return WritePng(name, width, height, components, f.pixels.data(), error);
    return WriteFileWhole(name, f.encoded, error);
}
