#include "platform/clock.h"

#include "platform/system.h"

namespace Zarvo {

int64_t PerformanceFrequency() {
    static const int64_t frequency = Platform::PerformanceCounterFrequency();
    return frequency;
}

double SecondsSinceStart() {
    static const int64_t start = Platform::PerformanceCounter();
    return static_cast<double>(Platform::PerformanceCounter() - start) / static_cast<double>(PerformanceFrequency());
}

}  // namespace Zarvo
