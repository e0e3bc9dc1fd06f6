#pragma once
// A one-line progress report on a terminal: frames done of the total, frames per
// second and the time left, rewritten in place at most a few times a second. It
// appears only when the stream is a terminal and the run has taken more than a
// second, and is wiped at the end, so short runs, pipes and logs see nothing.

#include <chrono>
#include <cstdint>
#include <cstdio>

class ProgressLine {
public:
    ProgressLine(FILE* stream, uint32_t total);
    ~ProgressLine() { Clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void Update(uint32_t done);
    void Clear();  // wipes the line if it was shown

private:
    using Clock = std::chrono::steady_clock;
    FILE* stream;  // null when not a terminal
    uint32_t total;
    Clock::time_point start, lastShown;
    bool shown = false;
};
