#include "tools/qprender/ProgressLine.h"

#include <unistd.h>

ProgressLine::ProgressLine(FILE* s, uint32_t count, const char* counted)
    : stream(s && isatty(fileno(s)) ? s : nullptr),
      total(count),
      unit(counted),
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
    fprintf(stream, "\rqprender: %u/%u %s, %.1f %s/s, %.0f s left\033[K", done, total, unit, rate, unit, left);
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
