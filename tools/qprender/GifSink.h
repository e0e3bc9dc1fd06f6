#pragma once
// An animated GIF: each frame's palette chosen in parallel, frames added to the
// animation in order, the file written whole at the end. Warns when captures come
// closer together than most viewers play.

#include "tools/qprender/AnimationFile.h"
#include "tools/qprender/PipelineSink.h"

class GifSink : public PipelineSink {
public:
    GifSink(const RenderOptions& options, uint32_t frameWidth, const RenderTuning& tuning);

    bool Begin(FILE* messages, std::string& error) override;

protected:
    std::unique_ptr<PipelineFrame> NewFrame() override;
    bool Encode(PipelineFrame& frame, std::string& error) override;
    bool Commit(PipelineFrame& frame, std::string& error) override;
    bool Close(std::string& error) override;

private:
    GifBuilder builder;
};
