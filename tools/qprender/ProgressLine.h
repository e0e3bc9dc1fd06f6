#pragma once
// A one-line progress report on a terminal: frames (or simulation steps) done of the
// total, their rate and the time left, rewritten in place at most a few times a second. It
// appears only when the stream is a terminal and the run has taken more than a
// second, and is wiped at the end, so short runs, pipes and logs see nothing.

#include <chrono>
#include <cstdint>
#include <cstdio>

class ProgressLine {
public:
    // `unit` names what is counted ("frames", "steps"); it must outlive the line.
    ProgressLine(FILE* stream, uint32_t total, const char* unit = "frames");
    ~ProgressLine() { Clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void Update(uint32_t done);
    void Clear();  // wipes the line if it was shown

private:
    using Clock = std::chrono::steady_clock;
    FILE* stream;  // null when not a terminal
    uint32_t total;
    const char* unit;
    Clock::time_point start, lastShown;
    bool shown = false;
};
