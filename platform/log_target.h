// The base of every log target and its plain-function face, LogTargetInterface.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/log.h"
#include "platform/system.h"

namespace Zarvo {

// A target as a table of plain functions, each taking the table's own address first.
struct LogTargetInterface {
    int32_t (*Version)(LogTargetInterface* self);
    void (*SetLevel)(LogTargetInterface* self, LogLevel level);
    LogLevel (*GetLevel)(LogTargetInterface* self);
    void (*SetCategories)(LogTargetInterface* self, uint32_t includeLow, uint32_t includeHigh, uint32_t excludeLow,
                          uint32_t excludeHigh);
    uint64_t (*GetIncludedCategories)(LogTargetInterface* self);
    uint64_t (*GetExcludedCategories)(LogTargetInterface* self);
    const char* (*GetName)(LogTargetInterface* self);
    const char* (*GetPattern)(LogTargetInterface* self, const LogEntry* entry);
    void (*Attach)(LogTargetInterface* self);
    void (*Detach)(LogTargetInterface* self);
    bool (*IsAttached)(LogTargetInterface* self);
    bool (*Write)(LogTargetInterface* self, const LogEntry* entry);
};

struct LogTargetSettings {
    LogLevel level = LogLevel::Warn;
    uint64_t includedCategories = 0;
    uint64_t excludedCategories = 0;
    std::string pattern = "#D| #L| #G| #M";
};

// Filters by level and categories; entries routed to a plain LogTarget are dropped.
//
// Locks: the logger's lock guards its target list and every target's attached flag; a target's lock guards
// its settings and its output. Whoever needs both takes the logger's first: delivery holds it while a
// target's Write takes the target's, and Attach, Detach and Configure take the logger's before the target's.
// No path waits for the logger's lock while holding a target's, so a thread reconfiguring a target cannot
// deadlock with a thread that logs.
class LogTarget {
public:
    explicit LogTarget(const LogTargetSettings& settings = {});
    LogTarget(const LogTarget&) = delete;
    LogTarget& operator=(const LogTarget&) = delete;
    virtual ~LogTarget();

    // If attached, leaves the logger's list.
    virtual void Detach();
    virtual const char* GetName() const;
    virtual const char* GetPattern(const LogEntry& entry) const;
    // Returns whether the entry was written.
    virtual bool Write(const LogEntry& entry);

    // If not attached, joins the end of the logger's list, creating the logger when there is none.
    void Attach();
    bool IsAttached() const { return attached_.load(); }

    void SetLevel(LogLevel level);
    LogLevel GetLevel() const { return level_.load(std::memory_order_relaxed); }
    // Keeps the excluded mask as given and the included mask without the excluded bits.
    void SetCategories(uint64_t included, uint64_t excluded);
    uint64_t GetIncludedCategories() const { return included_.load(std::memory_order_relaxed); }
    uint64_t GetExcludedCategories() const { return excluded_.load(std::memory_order_relaxed); }

    // Detaches, takes over the settings, and attaches again, as one step for every thread that logs.
    void Configure(const LogTargetSettings& settings);

    LogTargetInterface* Interface() { return &face_.functions; }

    static void* operator new(size_t size);
    static void operator delete(void* block);

protected:
    mutable Platform::CriticalSection lock_;

private:
    friend class Logger;

    // The interface with the way back to its target; the functions come first, so the two addresses agree.
    struct Face {
        LogTargetInterface functions;
        LogTarget* owner;
    };
    static LogTarget& Owner(LogTargetInterface* self) { return *reinterpret_cast<Face*>(self)->owner; }
    static const LogTargetInterface Functions;

    Face face_;
    std::atomic<bool> attached_{false};
    std::atomic<LogLevel> level_;
    std::atomic<uint64_t> included_;
    std::atomic<uint64_t> excluded_;
    std::string pattern_;
};

}  // namespace Zarvo
