#include "platform/log_api.h"

#include "platform/log_categories.h"
#include "platform/log_line.h"
#include "platform/logger.h"

namespace Zarvo {
namespace {

Logger& TheLogger() { return Logger::Instance(); }

const LogApi table = {
    []() -> int32_t { return 1; },
    AcquireLogger,
    ReleaseLogger,
    [](LogLevel level) { TheLogger().SetMinimumLevel(level); },
    []() { return TheLogger().GetMinimumLevel(); },
    [](uint32_t low, uint32_t high) { TheLogger().SetExcludedCategories(CategoryMask(low, high)); },
    []() { return TheLogger().GetExcludedCategories(); },
    []() { TheLogger().Disable(); },
    []() { TheLogger().Enable(); },
    []() { TheLogger().SetReservedFlag(); },
    []() { TheLogger().ClearReservedFlag(); },
    [](LogTargetInterface* target) { TheLogger().AddTarget(target); },
    [](LogTargetInterface* target) { TheLogger().RemoveTarget(target); },
    [](const char* name) { return TheLogger().FindTarget(name); },
    []() { return TheLogger().StdOutTarget().Interface(); },
    []() { return TheLogger().StdErrTarget().Interface(); },
    []() { return TheLogger().DebuggerTarget().Interface(); },
    CategoryFromTag,
    FormatCategories,
    [](char* buffer, size_t size, const char* pattern, const LogEntry* entry) {
        return FormatLine(buffer, size, pattern, *entry);
    },
    LevelName,
    []() { return TheLogger().ExecutableName(); },
    [](Platform::LocalTime* time) { *time = Platform::ReadLocalTime(); },
    [](char* buffer, size_t size, const Platform::LocalTime* time) { return FormatTimestamp(buffer, size, *time); },
    [](char* buffer, size_t size, const Platform::LocalTime* time) {
        return FormatFileTimestamp(buffer, size, *time);
    },
    LogV,
};

}  // namespace

const LogApi& GetLogApi() { return table; }

}  // namespace Zarvo
