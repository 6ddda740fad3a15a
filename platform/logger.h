// The process-wide logger: filters each call, stamps it and hands it to the attached targets in attach order.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/allocation.h"
#include "platform/console_log_targets.h"
#include "platform/log.h"
#include "platform/log_target.h"
#include "platform/system.h"

namespace Zarvo {

class Logger {
public:
    // The logger, created on first use; null only when memory ran out while creating it.
    static Logger* Get() noexcept;
    // The logger, created on first use.
    static Logger& Instance();
    // The logger if one exists.
    static Logger* Current() { return current_.load(std::memory_order_acquire); }

    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    // The logger's own filter; reads its settings without the lock.
    bool Accepts(LogLevel level, uint64_t categories) const {
        return !disabled_.load(std::memory_order_relaxed) && level >= minimumLevel_.load(std::memory_order_relaxed) &&
               !(categories & excludedCategories_.load(std::memory_order_relaxed));
    }
    // Offers the entry to every attached target whose own filter lets it through.
    void Deliver(const LogEntry& entry);

    void SetMinimumLevel(LogLevel level) { minimumLevel_.store(level); }
    LogLevel GetMinimumLevel() const { return minimumLevel_.load(); }
    void SetExcludedCategories(uint64_t categories) { excludedCategories_.store(categories); }
    uint64_t GetExcludedCategories() const { return excludedCategories_.load(); }
    void Disable() { disabled_.store(true); }
    void Enable() { disabled_.store(false); }
    // A flag kept for the log table's layout; nothing reads it.
    void SetReservedFlag() { reservedFlag_.store(true); }
    void ClearReservedFlag() { reservedFlag_.store(false); }

    // Raw list operations; they leave the targets' attached flags alone.
    void AddTarget(LogTargetInterface* target);
    void RemoveTarget(LogTargetInterface* target);
    // The first attached target whose name equals the given one, or null.
    LogTargetInterface* FindTarget(const char* name);

    StdOutLogTarget& StdOutTarget() { return stdOutTarget_; }
    StdErrLogTarget& StdErrTarget() { return stdErrTarget_; }
    DebuggerConsoleLogTarget& DebuggerTarget() { return debuggerTarget_; }

    // The host executable's file name without its directory.
    const char* ExecutableName() const { return executableName_; }

    Platform::CriticalSection& Lock() { return lock_; }

private:
    friend class LogTarget;
    friend void AcquireLogger();
    friend void ReleaseLogger();

    Logger();
    ~Logger();
    static void DestroyUnreferenced();
    static void* operator new(size_t size);
    static void operator delete(void* block);

    void Attach(LogTarget& target);
    void Detach(LogTarget& target);

    static inline std::atomic<Logger*> current_{nullptr};
    static inline std::atomic<int32_t> references_{0};

    Platform::CriticalSection lock_;
    std::vector<LogTargetInterface*, RuntimeAllocator<LogTargetInterface*>> targets_;
    std::atomic<bool> disabled_{false};
    std::atomic<bool> reservedFlag_{false};
    std::atomic<LogLevel> minimumLevel_{LogLevel::Warn};
    std::atomic<uint64_t> excludedCategories_{LogCategory::XTR};
    char executableName_[1024];
    StdErrLogTarget stdErrTarget_;
    StdOutLogTarget stdOutTarget_;
    DebuggerConsoleLogTarget debuggerTarget_;
};

// Counted references to the logger: the first creates it, releasing the last destroys it. A release without a
// reference does nothing.
void AcquireLogger();
void ReleaseLogger();

// The file name after the last directory separator ("\" or "/"); the whole path when it has none.
std::string_view ExecutableNameOfPath(std::string_view path);

}  // namespace Zarvo
