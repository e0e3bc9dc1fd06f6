#pragma once
// Frames leave the GL thread for a small pool of worker threads: each frame is
// encoded on whichever worker is free (in any order, at the same time), then
// handed on strictly in capture order, one at a time, to the step that writes it
// or adds it to an animation. A bounded number of frames is in flight, so memory
// stays bounded however long the run; the GL thread waits when the pool lags.
// With no workers everything happens inline on the caller's thread. The output is
// the same whatever the number of workers: encoding depends on the frame alone,
// and the ordered step sees the frames in the same order.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// One frame on its way; an output that keeps more per frame derives its own kind.
struct PipelineFrame {
    virtual ~PipelineFrame() = default;
    uint32_t index = 0;            // capture number, 0 up, consecutive
    std::vector<uint8_t> pixels;   // the picture, as the output wants it
    std::vector<uint8_t> encoded;  // filled by Encode for Commit
};

// What happens to the frames. Encode runs on several threads at once and must
// depend on the frame alone; Commit runs for one frame at a time, in index order.
// Both return false with `error` set on failure; the first failure in index order
// ends the run.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual bool Encode(PipelineFrame& frame, std::string& error) = 0;
    virtual bool Commit(PipelineFrame& frame, std::string& error) = 0;
};

class FramePipeline {
public:
    // `workers` threads (0: inline); at most `inFlight` frames submitted but not
    // yet committed.
    FramePipeline(FrameSink& sink, unsigned workers, size_t inFlight);
    ~FramePipeline();  // stops and joins the workers
    FramePipeline(const FramePipeline&) = delete;
    FramePipeline& operator=(const FramePipeline&) = delete;

    // Hands over the next frame (indices 0, 1, 2, ... in turn); waits while the
    // pipeline is full. False once a frame has failed.
    bool Submit(std::unique_ptr<PipelineFrame> frame);
    // Waits up to `most` for every frame submitted so far to be committed (or for a
    // failure); true when none is left to wait for.
    bool WaitForCommits(std::chrono::milliseconds most);
    // Waits for every frame to be committed. False with the first failure's text.
    bool Finish(std::string& error);
    // Frames committed so far.
    uint32_t Committed();

    // The worker count for this machine: its cores, at least 1 and at most 8.
    static unsigned DefaultWorkers();

private:
    void Work();
    void CommitReady(std::unique_lock<std::mutex>& lock);

    FrameSink& sink;
    size_t inFlight;
    std::vector<std::thread> threads;
    std::mutex mutex;
    std::condition_variable workReady, roomFree;
    std::deque<std::unique_ptr<PipelineFrame>> waiting;                           // to be encoded
    std::map<uint32_t, std::pair<bool, std::unique_ptr<PipelineFrame>>> encoded;  // ok, frame
    std::map<uint32_t, std::string> encodeErrors;
    uint32_t nextCommit = 0;  // index of the next frame to commit
    size_t pending = 0;       // submitted, not yet committed
    bool committing = false;  // a worker is in the ordered step
    bool stopping = false;
    bool failed = false;
    std::string failure;
};
