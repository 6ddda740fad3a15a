#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/clock.h"

namespace Zarvo {
namespace {

// Taken during static initialisation, before any test can have started the clock.
const double firstReading = SecondsSinceStart();

TEST(Clock, FrequencyIsPositiveAndStable) {
    EXPECT_GT(PerformanceFrequency(), 0);
    EXPECT_EQ(PerformanceFrequency(), PerformanceFrequency());
}

TEST(Clock, FirstReadingIsCloseToZero) {
    EXPECT_GE(firstReading, 0.0);
    EXPECT_LT(firstReading, 0.01);
}

TEST(Clock, NeverDecreases) {
    double previous = SecondsSinceStart();
    for (int i = 0; i < 10000; ++i) {
        double now = SecondsSinceStart();
        ASSERT_GE(now, previous);
        previous = now;
    }
}

// Seconds, not ticks: a measured interval agrees with the standard steady clock.
TEST(Clock, CountsSeconds) {
    double before = SecondsSinceStart();
    auto steadyBefore = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    double steady = std::chrono::duration<double>(std::chrono::steady_clock::now() - steadyBefore).count();
    double elapsed = SecondsSinceStart() - before;
    EXPECT_GE(elapsed, steady - 0.001);
    EXPECT_LT(elapsed, steady + 0.5);
}

}  // namespace
}  // namespace Zarvo
