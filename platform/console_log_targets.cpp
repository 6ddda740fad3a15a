#include "platform/console_log_targets.h"

#include <cstdio>
#include <mutex>

#include "platform/log_line.h"

namespace Zarvo {

const char* BaseConsoleLogTarget::GetName() const { return "BaseConsoleLogTarget"; }

size_t BaseConsoleLogTarget::FormatEntry(char* line, size_t size, const LogEntry& entry) const {
    return FormatLine(line, size, GetPattern(entry), entry);
}

const char* StdErrLogTarget::GetName() const { return "StdErrLogTarget"; }

bool StdErrLogTarget::Write(const LogEntry& entry) {
    std::lock_guard lock(lock_);
    char line[LogBufferSize];
    std::fwrite(line, 1, FormatEntry(line, sizeof line, entry), stderr);
    return true;
}

void StdErrLogTarget::Flush() { std::fflush(stderr); }

const char* StdOutLogTarget::GetName() const { return "StdOutLogTarget"; }

bool StdOutLogTarget::Write(const LogEntry& entry) {
    std::lock_guard lock(lock_);
    char line[LogBufferSize];
    std::fwrite(line, 1, FormatEntry(line, sizeof line, entry), stdout);
    if (FlushEachLine()) std::fflush(stdout);
    return true;
}

void StdOutLogTarget::Flush() { std::fflush(stdout); }

const char* DebuggerConsoleLogTarget::GetName() const { return "DebuggerConsoleLogTarget"; }

bool DebuggerConsoleLogTarget::Write(const LogEntry& entry) {
    std::lock_guard lock(lock_);
    char line[LogBufferSize];
    FormatEntry(line, sizeof line, entry);
    Platform::DebuggerOutput(line);
    return true;
}

}  // namespace Zarvo
