#pragma once
// An animated WebP: libwebp's animation encoder takes the frames in order (it
// encodes as they come, so nothing runs on the workers); the file is written whole
// at the end.

#include "tools/qprender/AnimationFile.h"
#include "tools/qprender/PipelineSink.h"

class WebpSink : public PipelineSink {
public:
    WebpSink(const RenderOptions& options, uint32_t frameWidth, const RenderTuning& tuning);

protected:
    bool Encode(PipelineFrame&, std::string&) override { return true; }
    bool Commit(PipelineFrame& frame, std::string& error) override;
    bool Close(std::string& error) override;

private:
    WebpBuilder builder;
};
