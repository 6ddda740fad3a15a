// The operating-system services on Linux and other POSIX systems; event tracing is the in-process stand-in.
#include <malloc.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

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

// A slot is a thread-specific key, whose destructor runs as a thread ends, after the thread's thread_local objects
// are destroyed.
constexpr unsigned long NoThreadSlot = ~0ul;

unsigned long MakeThreadSlot(void (*onThreadEnd)(void*)) {
    pthread_key_t key;
    return pthread_key_create(&key, onThreadEnd) == 0 ? key : NoThreadSlot;
}

}  // namespace

ThreadSlot::ThreadSlot(void (*onThreadEnd)(void*)) noexcept : index_(MakeThreadSlot(onThreadEnd)) {}

// Threads that still hold a pointer keep it: their function is not called once the key is gone.
ThreadSlot::~ThreadSlot() {
    if (index_ != NoThreadSlot) pthread_key_delete(static_cast<pthread_key_t>(std::exchange(index_, NoThreadSlot)));
}

void* ThreadSlot::Get() const noexcept {
    return index_ != NoThreadSlot ? pthread_getspecific(static_cast<pthread_key_t>(index_)) : nullptr;
}

bool ThreadSlot::Set(void* value) noexcept {
    return index_ != NoThreadSlot && pthread_setspecific(static_cast<pthread_key_t>(index_), value) == 0;
}

bool LoadTraceServices(TraceServices& services) {
    services = {};
    if (!TraceStandIn::Available()) return false;
    services = TraceStandIn::Services();
    return true;
}

}  // namespace Zarvo::Platform
