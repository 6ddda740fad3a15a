// The targets that write formatted lines to standard error, standard output and the debugger.
#pragma once

#include <atomic>
#include <cstddef>

#include "platform/log_target.h"

namespace Zarvo {

class BaseConsoleLogTarget : public LogTarget {
public:
    using LogTarget::LogTarget;
    const char* GetName() const override;
    virtual void Flush() {}

protected:
    // Formats the entry by the pattern; the caller holds the target's lock.
    size_t FormatEntry(char* line, size_t size, const LogEntry& entry) const;
};

class StdErrLogTarget final : public BaseConsoleLogTarget {
public:
    using BaseConsoleLogTarget::BaseConsoleLogTarget;
    const char* GetName() const override;
    bool Write(const LogEntry& entry) override;
    void Flush() override;
};

class StdOutLogTarget final : public BaseConsoleLogTarget {
public:
    using BaseConsoleLogTarget::BaseConsoleLogTarget;
    const char* GetName() const override;
    bool Write(const LogEntry& entry) override;
    void Flush() override;

    void SetFlushEachLine(bool flush) { flushEachLine_.store(flush); }
    bool FlushEachLine() const { return flushEachLine_.load(); }

private:
    std::atomic<bool> flushEachLine_{false};
};

class DebuggerConsoleLogTarget final : public BaseConsoleLogTarget {
public:
    using BaseConsoleLogTarget::BaseConsoleLogTarget;
    const char* GetName() const override;
    bool Write(const LogEntry& entry) override;
};

}  // namespace Zarvo
