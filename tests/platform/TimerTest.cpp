#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <time.h>

namespace {

// A clock the test drives: each reading returns `now`, then adds `step`.
// A wait that has not ended after 1000 readings is stuck: from then on the
// clock reads lastFrameTime + 16, which ends a 16 ms wait, so the test fails
// on its counts instead of hanging.
unsigned int now;
unsigned int step;
int readings;
unsigned int testClock() {
    if (++readings > 1000) {
        return lastFrameTime + 16;
    }
    const unsigned int reading = now;
    now += step;
    return reading;
}

class Timer : public ::testing::Test {
protected:
    void SetUp() override {
        setClockLL(testClock);
        lastFrameTime = 0;
        readings = 0;
    }
    void TearDown() override { setClockLL(nullptr); }
    void start(unsigned int at, unsigned int perReading) {
        now = at;
        step = perReading;
        readings = 0;
    }
};

}  // namespace

TEST(SystemClock, MillisecondsOfTheMonotonicClockModulo32Bits) {
    setClockLL(nullptr);
    timespec before, after;
    clock_gettime(CLOCK_MONOTONIC, &before);
    const unsigned int reading = timeLL();
    clock_gettime(CLOCK_MONOTONIC, &after);
    const unsigned int low = static_cast<unsigned int>(before.tv_sec * 1000ull + before.tv_nsec / 1000000);
    const unsigned int high = static_cast<unsigned int>(after.tv_sec * 1000ull + after.tv_nsec / 1000000);
    EXPECT_LE(reading - low, high - low);
}

TEST_F(Timer, ReadingsComeFromTheClockAndSubtractAcrossTheWrap) {
    start(0xFFFFFFF0u, 0x20);
    const unsigned int first = timeLL();
    const unsigned int second = timeLL();
    EXPECT_EQ(0xFFFFFFF0u, first);
    EXPECT_EQ(0x10u, second);
    EXPECT_EQ(0x20u, second - first);
}

TEST_F(Timer, FirstWaitReturnsAtOnceAndStartsTheFrame) {
    start(5000, 1);
    waitFrameLL(16);
    EXPECT_EQ(1, readings);
    EXPECT_EQ(5000u, lastFrameTime);
}

TEST_F(Timer, WaitSpinsUntilMsHavePassedThenTakesAFreshReading) {
    lastFrameTime = 1000;
    start(1001, 1);
    waitFrameLL(16);
    // Readings 1001..1016 are checked, 1016 ends the wait, 1017 is recorded.
    EXPECT_EQ(17, readings);
    EXPECT_EQ(1017u, lastFrameTime);
}

TEST_F(Timer, NoWaitWhenTheFrameTookLongEnough) {
    lastFrameTime = 1000;
    start(1016, 0);
    waitFrameLL(16);
    EXPECT_EQ(2, readings);
    EXPECT_EQ(1016u, lastFrameTime);
    start(5000, 0);
    waitFrameLL(16);
    EXPECT_EQ(2, readings);
}

TEST_F(Timer, WaitEndsAtOnceWhileTheClockReadsLessThanMs) {
    lastFrameTime = 5;
    start(7, 0);  // the clock would never reach 21 on its own
    waitFrameLL(16);
    EXPECT_EQ(2, readings);
    EXPECT_EQ(7u, lastFrameTime);
}

TEST_F(Timer, WaitAcrossTheClockWrapLastsMs) {
    lastFrameTime = 0xFFFFFFF8u;
    start(0xFFFFFFFAu, 1);
    waitFrameLL(16);
    // The wait ends on reading 8 (16 ms after 0xFFFFFFF8), then 9 is recorded.
    EXPECT_EQ(9u, lastFrameTime);
    EXPECT_EQ(16, readings);
}

TEST_F(Timer, CallComingLateAcrossTheWrapReturnsAtOnce) {
    // The previous frame ended just before the wrap; this call comes 0x110 ms
    // later, after it. The frame took long enough: no wait.
    lastFrameTime = 0xFFFFFFF0u;
    start(0x100, 1);
    waitFrameLL(16);
    EXPECT_EQ(2, readings);
    EXPECT_EQ(0x101u, lastFrameTime);
}
