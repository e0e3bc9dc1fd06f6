#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <time.h>

static unsigned int now, step;  // the test clock's next reading and its increase per reading
static int readings;            // readings taken

TEST(Timer, SystemClockIsMonotonicMillisecondsModulo32Bits)
{
    setClockLL(nullptr);
    timespec before, after;
    clock_gettime(CLOCK_MONOTONIC, &before);
    const unsigned int reading = timeLL();
    clock_gettime(CLOCK_MONOTONIC, &after);
    const auto ms = [](const timespec& t) { return unsigned(t.tv_sec * 1000ull + t.tv_nsec / 1000000); };
    EXPECT_LE(reading - ms(before), ms(after) - ms(before)) << "between the readings before and after";
}

TEST(Timer, WaitFrameSpinsOnTheClockUntilMsHavePassed)
{
    const struct {
        const char* what;
        unsigned int last, start, step;  // lastFrameTime before the call; the clock's first reading and step
        int readings;                    // readings the call takes
        unsigned int recorded;           // lastFrameTime after it
    } cases[] = {
        {"first call returns at once", 0, 5000, 1, 1, 5000},
        // Readings 1001..1016 are checked, 1016 ends the wait, 1017 is recorded.
        {"spins, then a fresh reading", 1000, 1001, 1, 17, 1017},
        {"frame took exactly ms", 1000, 1016, 0, 2, 1016},
        {"late call", 1000, 5000, 0, 2, 5000},
        {"clock reads less than ms", 5, 7, 0, 2, 7},  // would never reach 21 on its own
        {"wait across the wrap lasts ms", 0xFFFFFFF8u, 0xFFFFFFFAu, 1, 16, 9},
        {"late call across the wrap", 0xFFFFFFF0u, 0x100, 1, 2, 0x101},
    };
    // A wait still spinning after 1000 readings is stuck: the clock then reads
    // lastFrameTime + 16, which ends a 16 ms wait, so the test fails on its counts.
    setClockLL([] { return ++readings > 1000 ? lastFrameTime + 16 : (now += step) - step; });
    for (const auto& c : cases) {
        lastFrameTime = c.last;
        now = c.start;
        step = c.step;
        readings = 0;
        waitFrameLL(16);
        EXPECT_EQ(c.readings, readings) << c.what << ": clock readings";
        EXPECT_EQ(c.recorded, lastFrameTime) << c.what << ": lastFrameTime";
    }
    setClockLL(nullptr);
}
