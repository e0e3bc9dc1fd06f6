#include "platform/Platform.h"

#include <ctime>

unsigned int lastFrameTime;

namespace {

unsigned int (*clockSource)();  // setClockLL's clock, or null for the system's

// Milliseconds of the monotonic clock (time since boot, never set back),
// reduced modulo 2^32 like every reading of timeLL.
unsigned int monotonicMilliseconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const unsigned long long ms = static_cast<unsigned long long>(now.tv_sec) * 1000ull +
                                  static_cast<unsigned long long>(now.tv_nsec) / 1000000ull;
    return static_cast<unsigned int>(ms);
}

}  // namespace

void setClockLL(unsigned int (*clock)())
{
    clockSource = clock;
}

unsigned int timeLL()
{
    return clockSource ? clockSource() : monotonicMilliseconds();
}

void waitFrameLL(unsigned int ms)
{
    if (lastFrameTime == 0) {
        lastFrameTime = timeLL();
        return;
    }
    // Unsigned arithmetic throughout. While the clock itself reads less than
    // ms the subtraction wraps to a large value and the wait ends at once.
    // The second test ends the wait once ms have passed even when the clock
    // wrapped since lastFrameTime: without it a call that came late across the
    // wrap would spin until the clock came round again, 49.7 days later.
    for (;;) {
        const unsigned int now = timeLL();
        if (now - ms >= lastFrameTime || now - lastFrameTime >= ms) {
            break;
        }
    }
    lastFrameTime = timeLL();
}
