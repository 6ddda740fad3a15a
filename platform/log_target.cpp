#include "platform/log_target.h"

#include <mutex>

#include "platform/allocation.h"
#include "platform/logger.h"

namespace Zarvo {

const LogTargetInterface LogTarget::Functions = {
    [](LogTargetInterface*) -> int32_t { return 1; },
    [](LogTargetInterface* self, LogLevel level) { Owner(self).SetLevel(level); },
    [](LogTargetInterface* self) { return Owner(self).GetLevel(); },
    [](LogTargetInterface* self, uint32_t includeLow, uint32_t includeHigh, uint32_t excludeLow, uint32_t excludeHigh) {
        Owner(self).SetCategories(CategoryMask(includeLow, includeHigh), CategoryMask(excludeLow, excludeHigh));
    },
    [](LogTargetInterface* self) { return Owner(self).GetIncludedCategories(); },
    [](LogTargetInterface* self) { return Owner(self).GetExcludedCategories(); },
    [](LogTargetInterface* self) { return Owner(self).GetName(); },
    [](LogTargetInterface* self, const LogEntry* entry) { return Owner(self).GetPattern(*entry); },
    [](LogTargetInterface* self) { Owner(self).Attach(); },
    [](LogTargetInterface* self) { Owner(self).Detach(); },
    [](LogTargetInterface* self) { return Owner(self).IsAttached(); },
    [](LogTargetInterface* self, const LogEntry* entry) { return Owner(self).Write(*entry); },
};

LogTarget::LogTarget(const LogTargetSettings& settings)
    : face_{Functions, this},
      level_(settings.level),
      included_(settings.includedCategories & ~settings.excludedCategories),
      excluded_(settings.excludedCategories),
      pattern_(settings.pattern) {}

LogTarget::~LogTarget() { LogTarget::Detach(); }

void LogTarget::Detach() {
    if (!attached_.load()) return;
    if (Logger* logger = Logger::Current()) logger->Detach(*this);
}

const char* LogTarget::GetName() const { return "LogTarget"; }

const char* LogTarget::GetPattern(const LogEntry&) const { return pattern_.c_str(); }

bool LogTarget::Write(const LogEntry&) { return false; }

void LogTarget::Attach() { Logger::Instance().Attach(*this); }

void LogTarget::SetLevel(LogLevel level) {
    std::lock_guard lock(lock_);
    level_.store(level);
}

void LogTarget::SetCategories(uint64_t included, uint64_t excluded) {
    std::lock_guard lock(lock_);
    excluded_.store(excluded);
    included_.store(included & ~excluded);
}

void LogTarget::Configure(const LogTargetSettings& settings) {
    Logger& logger = Logger::Instance();
    std::lock_guard loggerLock(logger.Lock());
    std::lock_guard targetLock(lock_);
    Detach();
    pattern_ = settings.pattern;
    SetLevel(settings.level);
    SetCategories(settings.includedCategories, settings.excludedCategories);
    Attach();
}

void* LogTarget::operator new(size_t size) { return AllocateOrThrow(size); }

void LogTarget::operator delete(void* block) { Release(block); }

}  // namespace Zarvo
