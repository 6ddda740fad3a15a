// The portable face of the operating-system services the runtime uses. Only the platform/system* files know the
// platform: system_windows.cpp holds the Windows side, system_posix.cpp the other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#ifndef _WIN32
#include <mutex>
#endif

namespace Zarvo::Platform {

// A re-entrant lock: a Windows critical section, a recursive mutex elsewhere. Usable with std::lock_guard.
class CriticalSection {
public:
    CriticalSection();
    ~CriticalSection();
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void lock();
    void unlock();
    bool try_lock();

private:
#ifdef _WIN32
    // The system's CRITICAL_SECTION lives here; its size is checked where its type is known.
    alignas(void*) unsigned char section_[sizeof(void*) == 8 ? 40 : 24];
#else
    std::recursive_mutex mutex_;
#endif
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
// The usable size of a block of the C runtime's heap; at least the size asked for.
size_t HeapBlockSize(void* block);
// Whether standard output is a terminal that shows ANSI colours; a Windows console is switched to them first.
bool StandardOutputTakesColour();

}  // namespace Zarvo::Platform
