// The operating-system services on Linux and other POSIX systems; event tracing is the in-process stand-in.
#include <malloc.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <utility>

#include "platform/system.h"
#include "platform/system_trace.h"
#include "platform/system_trace_stand_in.h"

namespace Zarvo::Platform {

CriticalSection::CriticalSection() = default;
CriticalSection::~CriticalSection() = default;
void CriticalSection::lock() { mutex_.lock(); }
void CriticalSection::unlock() { mutex_.unlock(); }
bool CriticalSection::try_lock() { return mutex_.try_lock(); }

LocalTime ReadLocalTime() {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    tm local;
    localtime_r(&now.tv_sec, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
            local.tm_min,        local.tm_sec,     static_cast<int32_t>(now.tv_nsec / 1000000)};
}

uint32_t CurrentThreadId() { return static_cast<uint32_t>(syscall(SYS_gettid)); }

std::string ExecutableFilePath() {
    char path[1024];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

void DebuggerOutput(const char*) {}

int64_t PerformanceCounter() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int64_t PerformanceCounterFrequency() { return 1000000000; }

size_t HeapBlockSize(void* block) { return malloc_usable_size(block); }

bool StandardOutputTakesColour() { return isatty(STDOUT_FILENO) == 1; }

namespace {

constexpr size_t ThreadSlotCount = 4;
// Trivially destructible, so a thread that ends while this library's static objects are destroyed still finds them.
void (*threadSlotEnds[ThreadSlotCount])(void*);
std::atomic<size_t> threadSlotsMade{0};

// The thread's pointers; its destructor hands each to its slot's function, again while one sets a pointer anew.
struct ThreadSlotValues {
    void* values[ThreadSlotCount];
    ~ThreadSlotValues() {
        for (bool handed = true; handed;) {
            handed = false;
            for (size_t i = 0; i < ThreadSlotCount; ++i) {
                if (void* value = std::exchange(values[i], nullptr)) {
                    threadSlotEnds[i](value);
                    handed = true;
                }
            }
        }
    }
};
thread_local ThreadSlotValues threadSlotValues{};

}  // namespace

ThreadSlot::ThreadSlot(void (*onThreadEnd)(void*)) noexcept : index_(threadSlotsMade.fetch_add(1)) {
    if (index_ < ThreadSlotCount) threadSlotEnds[index_] = onThreadEnd;
}

ThreadSlot::~ThreadSlot() = default;

void* ThreadSlot::Get() const noexcept { return index_ < ThreadSlotCount ? threadSlotValues.values[index_] : nullptr; }

bool ThreadSlot::Set(void* value) noexcept {
    if (index_ >= ThreadSlotCount) return false;
    threadSlotValues.values[index_] = value;
    return true;
}

bool LoadTraceServices(TraceServices& services) {
    services = {};
    if (!TraceStandIn::Available()) return false;
    services = TraceStandIn::Services();
    return true;
}

}  // namespace Zarvo::Platform
