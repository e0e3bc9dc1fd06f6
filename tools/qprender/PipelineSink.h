#pragma once
// The outputs whose frames are encoded on worker threads (a PNG series, a GIF, a
// WebP): Add turns a capture into the output's top-down rows and hands it to a
// FramePipeline, where the form's own Encode and Commit run; Finish waits for the
// last commit and then lets the form Close (write) what it built.

#include <memory>

#include "tools/qprender/FramePipeline.h"
#include "tools/qprender/OutputSink.h"

class PipelineSink : public OutputSink, protected FrameSink {
public:
    bool Begin(FILE* messages, std::string& error) override;
    bool Add(uint32_t index, const uint8_t* rgbaBottomUp) override;
    bool Settle(std::chrono::milliseconds most) override;
    uint32_t Handled() const override;
    bool Finish(std::string& error) override;

protected:
    // Frames `frameWidth` x the options' height, RGBA when transparent, else RGB;
    // encoded on `workers` threads (0: inline).
    PipelineSink(const RenderOptions& options, uint32_t frameWidth, unsigned workers);

    // The worker threads the tuning asks for, or one per core (at most 8).
    static unsigned WorkerCount(const RenderTuning& tuning);

    // A frame for Add to fill; a form that keeps more per frame makes its own kind.
    virtual std::unique_ptr<PipelineFrame> NewFrame() { return std::unique_ptr<PipelineFrame>(new PipelineFrame); }
    // Runs after the last commit: writes what the form built. False with `error`.
    virtual bool Close(std::string&) { return true; }

    const RenderOptions& o;
    uint32_t width, height;  // pixels of one frame
    int components;          // 3: RGB, 4: RGBA

private:
    unsigned workers;
    std::unique_ptr<FramePipeline> pipeline;  // made by Begin
};
