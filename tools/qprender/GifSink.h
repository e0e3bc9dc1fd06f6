#pragma once
// An animated GIF: each frame's palette chosen in parallel, frames added to the
// animation in order and written to the output's temporary as they are encoded (memory
// holds the frame queue, not the file), which takes the output's place at the end. Warns when captures come
// closer together than most viewers play.

#include "files/StreamedFile.h"
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
    StreamedFile file;  // outlives the builder, whose clean-up may still write to it
    GifBuilder builder;
};
