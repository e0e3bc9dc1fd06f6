#include "tools/qprender/PipelineSink.h"

#include "tools/qprender/SheetImage.h"

PipelineSink::PipelineSink(const RenderOptions& options, uint32_t frameWidth, unsigned workerCount)
    : o(options),
      width(frameWidth),
      height(options.height),
      components(options.transparent ? 4 : 3),
      workers(workerCount)
{}

unsigned PipelineSink::WorkerCount(const RenderTuning& tuning)
{
    return tuning.workers >= 0 ? unsigned(tuning.workers) : FramePipeline::DefaultWorkers();
}

bool PipelineSink::Begin(FILE*, std::string&)
{
    // Two frames per worker in flight keeps every worker busy while memory stays bounded.
    pipeline.reset(new FramePipeline(*this, workers, 2 * size_t(workers) + 2));
    return true;
}

bool PipelineSink::Add(uint32_t index, const uint8_t* rgbaBottomUp)
{
    std::unique_ptr<PipelineFrame> frame = NewFrame();
    frame->index = index;
    frame->pixels.resize(size_t(width) * height * components);
    ToPictureRows(rgbaBottomUp, width, height, o.transparent, frame->pixels.data(), size_t(width) * components);
    return pipeline->Submit(std::move(frame));
}

bool PipelineSink::Settle(std::chrono::milliseconds most)
{
    return pipeline->WaitForCommits(most);
}

uint32_t PipelineSink::Handled() const
{
    return pipeline->Committed();
}

bool PipelineSink::Finish(std::string& error)
{
    return pipeline->Finish(error) && Close(error);
}
