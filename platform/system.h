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

// A pointer each thread keeps for itself, null until the thread sets it, and a function called with it when a thread
// that set it ends. Unlike a thread_local object, whose storage mingw-w64 frees before the thread's last callbacks
// run, what the pointer points to is the caller's own and stays readable until then: the function may read it but
// not the thread's thread_local objects. One slot per purpose, kept in a function's static, at most four. A slot
// destroyed on Windows (its library unloading) calls the function, from that thread, for every thread that still
// holds a pointer; elsewhere the C runtime keeps the library loaded until those threads end.
class ThreadSlot {
public:
    explicit ThreadSlot(void (*onThreadEnd)(void* value)) noexcept;
    ~ThreadSlot();
    ThreadSlot(const ThreadSlot&) = delete;
    ThreadSlot& operator=(const ThreadSlot&) = delete;

    void* Get() const noexcept;
    // False when the system has no slot to give: the pointer is not kept.
    bool Set(void* value) noexcept;

private:
    unsigned long index_;  // the fiber-local slot on Windows, else a place in the thread's table
};

}  // namespace Zarvo::Platform
