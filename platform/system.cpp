#include "platform/system.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/syscall.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>
#endif

namespace Zarvo::Platform {

#ifdef _WIN32

LocalTime ReadLocalTime() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

uint32_t CurrentThreadId() { return GetCurrentThreadId(); }

std::string ExecutableFilePath() {
    char path[1024] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, length < sizeof path ? length : sizeof path - 1);
}

void DebuggerOutput(const char* text) { OutputDebugStringA(text); }

int64_t PerformanceCounter() {
    LARGE_INTEGER value;
    QueryPerformanceCounter(&value);
    return value.QuadPart;
}

int64_t PerformanceCounterFrequency() {
    LARGE_INTEGER value;
    QueryPerformanceFrequency(&value);
    return value.QuadPart;
}

bool StandardOutputTakesColour() {
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (output == INVALID_HANDLE_VALUE || !GetConsoleMode(output, &mode)) return false;
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) ||
           SetConsoleMode(output, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

#else

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

bool StandardOutputTakesColour() { return isatty(STDOUT_FILENO) == 1; }

#endif

}  // namespace Zarvo::Platform
