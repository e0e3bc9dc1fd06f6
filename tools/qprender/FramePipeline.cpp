#include "tools/qprender/FramePipeline.h"

#include <algorithm>
#include <new>

namespace {

// A worker thread can't let an exception out; running out of memory fails the frame.
template <typename Step> bool Guarded(Step step, std::string& error)
{
    try {
        return step();
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return false;
    }
}

}  // namespace

FramePipeline::FramePipeline(FrameSink& s, unsigned workers, size_t limit)
    : sink(s),
      inFlight(std::max<size_t>(1, limit))
{
    for (unsigned i = 0; i < workers; ++i)
        threads.emplace_back(&FramePipeline::Work, this);
}

FramePipeline::~FramePipeline()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    workReady.notify_all();
    for (std::thread& t : threads)
        t.join();
}

unsigned FramePipeline::DefaultWorkers()
{
    return std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
}

bool FramePipeline::Submit(std::unique_ptr<PipelineFrame> frame)
{
    if (threads.empty()) {
        if (failed)
            return false;
        std::string error;
        if (!sink.Encode(*frame, error) || !sink.Commit(*frame, error)) {
            failed = true;
            failure = error;
            return false;
        }
        ++nextCommit;
        return true;
    }
    std::unique_lock<std::mutex> lock(mutex);
    roomFree.wait(lock, [this] { return failed || pending < inFlight; });
    if (failed)
        return false;
    ++pending;
    waiting.push_back(std::move(frame));
    lock.unlock();
    workReady.notify_one();
    return true;
}

void FramePipeline::Work()
{
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        workReady.wait(lock, [this] { return stopping || !waiting.empty(); });
        if (waiting.empty())
            return;  // stopping, and nothing left
        std::unique_ptr<PipelineFrame> frame = std::move(waiting.front());
        waiting.pop_front();
        const uint32_t index = frame->index;
        bool ok = true;
        std::string error;
        if (!failed) {
            lock.unlock();
            ok = Guarded([&] { return sink.Encode(*frame, error); }, error);
            lock.lock();
        }
        if (!ok)
            encodeErrors[index] = error;
        encoded[index] = std::make_pair(ok, std::move(frame));
        if (!committing)
            CommitReady(lock);
    }
}

// Commits every frame that is next in order and encoded; one worker at a time.
void FramePipeline::CommitReady(std::unique_lock<std::mutex>& lock)
{
    committing = true;
    for (;;) {
        auto it = encoded.find(nextCommit);
        if (it == encoded.end() || failed)
            break;
        std::unique_ptr<PipelineFrame> frame = std::move(it->second.second);
        const bool encodedOk = it->second.first;
        encoded.erase(it);
        std::string error;
        bool ok = false;
        if (encodedOk) {
            lock.unlock();
            ok = Guarded([&] { return sink.Commit(*frame, error); }, error);
            frame.reset();
            lock.lock();
        } else {
            error = encodeErrors[nextCommit];
        }
        if (!ok) {
            failed = true;
            failure = error;
        }
        ++nextCommit;
        --pending;
        roomFree.notify_all();
    }
    if (failed) {
        // Frames after a failure are dropped; nobody waits for them.
        pending -= encoded.size();
        encoded.clear();
        roomFree.notify_all();
    }
    committing = false;
}

bool FramePipeline::WaitForCommits(std::chrono::milliseconds most)
{
    std::unique_lock<std::mutex> lock(mutex);
    return roomFree.wait_for(lock, most, [this] { return failed || pending == 0; });
}

bool FramePipeline::Finish(std::string& error)
{
    if (!threads.empty()) {
        std::unique_lock<std::mutex> lock(mutex);
        roomFree.wait(lock, [this] { return failed || pending == 0; });
        stopping = true;
        lock.unlock();
        workReady.notify_all();
        for (std::thread& t : threads)
            t.join();
        threads.clear();
    }
    if (failed)
        error = failure;
    return !failed;
}

uint32_t FramePipeline::Committed()
{
    std::lock_guard<std::mutex> lock(mutex);
    return nextCommit;
}
