// Clocks over the high-resolution performance counter.
#pragma once

#include <cstdint>

namespace Zarvo {

// Ticks per second of the performance counter; read once and cached.
int64_t PerformanceFrequency();
// Seconds since the first call of this function in the process; never decreasing.
double SecondsSinceStart();

}  // namespace Zarvo
