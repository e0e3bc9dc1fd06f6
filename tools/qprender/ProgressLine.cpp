#include "tools/qprender/ProgressLine.h"

#include <unistd.h>

ProgressLine::ProgressLine(FILE* s, uint32_t frames)
    : stream(s && isatty(fileno(s)) ? s : nullptr),
      total(frames),
      start(Clock::now()),
      lastShown(start)
{}

void ProgressLine::Update(uint32_t done)
{
    if (!stream)
        return;
    const Clock::time_point now = Clock::now();
    const double seconds = std::chrono::duration<double>(now - start).count();
    if (seconds < 1.0 || (shown && now - lastShown < std::chrono::milliseconds(200)))
        return;
    lastShown = now;
    shown = true;
    const double rate = done / seconds;
    const double left = rate > 0.0 ? (total - done) / rate : 0.0;
    fprintf(stream, "\rqprender: %u/%u frames, %.1f frames/s, %.0f s left\033[K", done, total, rate, left);
    fflush(stream);
}

void ProgressLine::Clear()
{
    if (!shown)
        return;
    fputs("\r\033[K", stream);
    fflush(stream);
    shown = false;
}
