// The portable face of the operating-system services the runtime uses. Only system.cpp knows the platform.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

namespace Zarvo::Platform {

// A re-entrant lock, like a Windows critical section; usable with std::lock_guard.
class CriticalSection {
public:
    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }
    bool try_lock() { return mutex_.try_lock(); }

private:
    std::recursive_mutex mutex_;
};

struct LocalTime {
    int32_t year, month, day, hour, minute, second, millisecond;
};

LocalTime ReadLocalTime();
uint32_t CurrentThreadId();
// The host executable's full file name, at most 1023 bytes.
std::string ExecutableFilePath();
// Hands a text to an attached debugger; does nothing where none can listen.
void DebuggerOutput(const char* text);
int64_t PerformanceCounter();
int64_t PerformanceCounterFrequency();
// Whether standard output is a terminal that shows ANSI colours; a Windows console is switched to them first.
bool StandardOutputTakesColour();

}  // namespace Zarvo::Platform
