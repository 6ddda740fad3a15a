// The runtime's log call: levels, categories, the entry handed to the targets, and LogFormat.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "platform/system.h"

namespace Zarvo {

// Ordered by severity; an entry passes a filter whose level is not above its own.
enum class LogLevel : int32_t { Okay = 0, Warn = 1, Error = 2, Always = 3 };

// Bits of the 64-bit category mask whose tags are predefined; CategoryFromTag hands out the others.
namespace LogCategory {
constexpr uint64_t DBG = 1ull << 0;
constexpr uint64_t GEN = 1ull << 1;
constexpr uint64_t XTR = 1ull << 2;
constexpr uint64_t PRF = 1ull << 3;
constexpr uint64_t MEM = 1ull << 4;
constexpr uint64_t DSK = 1ull << 5;
constexpr uint64_t NET = 1ull << 6;
constexpr uint64_t TST = 1ull << 7;
}  // namespace LogCategory

// The message and every formatted line live in stack buffers of this size.
constexpr size_t LogBufferSize = 4096;

// One log call as the targets see it; built on the caller's stack.
struct LogEntry {
    Platform::LocalTime time;
    LogLevel level;
    uint32_t categoryLow;
    uint32_t categoryHigh;
    const char* message;
};

constexpr uint64_t CategoryMask(uint32_t low, uint32_t high) { return static_cast<uint64_t>(high) << 32 | low; }

// printf-style; callers with numbered messages format them first and log the text with "%s".
void LogFormat(LogLevel level, uint32_t categoryLow, uint32_t categoryHigh, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
void LogV(LogLevel level, uint32_t categoryLow, uint32_t categoryHigh, const char* format, va_list arguments);

}  // namespace Zarvo
