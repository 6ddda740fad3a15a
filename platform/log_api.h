// The logger as a table of plain functions, for callers that must not share its class layout.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "platform/log.h"
#include "platform/log_target.h"

namespace Zarvo {

struct LogApi {
    int32_t (*Version)();
    void (*AcquireLogger)();
    void (*ReleaseLogger)();
    void (*SetMinimumLevel)(LogLevel level);
    LogLevel (*GetMinimumLevel)();
    void (*SetExcludedCategories)(uint32_t low, uint32_t high);
    uint64_t (*GetExcludedCategories)();
    void (*Disable)();
    void (*Enable)();
    void (*SetReservedFlag)();
    void (*ClearReservedFlag)();
    void (*AddTarget)(LogTargetInterface* target);
    void (*RemoveTarget)(LogTargetInterface* target);
    LogTargetInterface* (*FindTarget)(const char* name);
    LogTargetInterface* (*GetStdOutTarget)();
    LogTargetInterface* (*GetStdErrTarget)();
    LogTargetInterface* (*GetDebuggerTarget)();
    uint64_t (*CategoryFromTag)(const char* tag);
    size_t (*FormatCategories)(char* buffer, size_t size, uint32_t low, uint32_t high);
    size_t (*FormatLine)(char* buffer, size_t size, const char* pattern, const LogEntry* entry);
    const char* (*LevelName)(LogLevel level);
    const char* (*ExecutableName)();
    void (*ReadLocalTime)(Platform::LocalTime* time);
    int (*FormatTimestamp)(char* buffer, size_t size, const Platform::LocalTime* time);
    int (*FormatFileTimestamp)(char* buffer, size_t size, const Platform::LocalTime* time);
    void (*LogV)(LogLevel level, uint32_t categoryLow, uint32_t categoryHigh, const char* format, va_list arguments);
};

// The process's table; every operation that needs the logger creates it when there is none.
const LogApi& GetLogApi();

}  // namespace Zarvo
