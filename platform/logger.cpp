#include "platform/logger.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

namespace Zarvo {
namespace {

std::mutex creationLock;

LogTargetSettings ConsoleSettings(uint64_t included, uint64_t excluded, const char* pattern) {
    return {LogLevel::Warn, included, excluded, pattern};
}

bool TargetAccepts(LogTargetInterface* target, LogLevel level, uint64_t categories) {
    if (level < target->GetLevel(target)) return false;
    if (categories == 0) return true;
    if (categories & target->GetExcludedCategories(target)) return false;
    const uint64_t included = target->GetIncludedCategories(target);
    return included == 0 || (categories & included) != 0;
}

}  // namespace

Logger* Logger::Get() noexcept {
    if (Logger* logger = Current()) return logger;
    std::lock_guard guard(creationLock);
    if (Logger* logger = Current()) return logger;
    try {
        Logger* logger = new Logger;
        current_.store(logger, std::memory_order_release);
        return logger;
    } catch (...) {
        return nullptr;
    }
}

Logger& Logger::Instance() {
    if (Logger* logger = Get()) return *logger;
    throw std::bad_alloc();
}

Logger::Logger()
    : stdErrTarget_(ConsoleSettings(LogCategory::DBG, LogCategory::GEN, "#E(#T): #L| #M")),
      stdOutTarget_(ConsoleSettings(LogCategory::GEN, LogCategory::DBG, "#M")),
      debuggerTarget_(ConsoleSettings(LogCategory::DBG, 0, "#E(#T): #L| #M")) {
    const std::string path = Platform::ExecutableFilePath();
    const std::string_view name = ExecutableNameOfPath(path);
    const size_t length = std::min(name.size(), sizeof executableName_ - 1);
    std::memcpy(executableName_, name.data(), length);
    executableName_[length] = '\0';
    Attach(stdErrTarget_);
    Attach(debuggerTarget_);
}

Logger::~Logger() {
    std::lock_guard lock(lock_);
    while (!targets_.empty()) {
        LogTargetInterface* target = targets_.back();
        target->Detach(target);
        RemoveTarget(target);  // in case it was added without being marked attached
    }
}

void Logger::DestroyUnreferenced() {
    std::lock_guard guard(creationLock);
    if (references_.load() != 0) return;
    // Stays current while it is destroyed, so that the targets it detaches find it.
    delete Current();
    current_.store(nullptr);
}

void* Logger::operator new(size_t size) { return AllocateOrThrow(size); }

void Logger::operator delete(void* block) { Release(block); }

void Logger::Deliver(const LogEntry& entry) {
    const uint64_t categories = CategoryMask(entry.categoryLow, entry.categoryHigh);
    std::lock_guard lock(lock_);
    // By index, as a target may attach or detach targets from inside its Write.
    for (size_t i = 0; i < targets_.size(); ++i) {
        LogTargetInterface* target = targets_[i];
        if (TargetAccepts(target, entry.level, categories)) target->Write(target, &entry);
    }
}

void Logger::AddTarget(LogTargetInterface* target) {
    std::lock_guard lock(lock_);
    targets_.push_back(target);
}

void Logger::RemoveTarget(LogTargetInterface* target) {
    std::lock_guard lock(lock_);
    std::erase(targets_, target);
}

LogTargetInterface* Logger::FindTarget(const char* name) {
    if (!name) return nullptr;
    std::lock_guard lock(lock_);
    for (LogTargetInterface* target : targets_)
        if (std::strcmp(target->GetName(target), name) == 0) return target;
    return nullptr;
}

void Logger::Attach(LogTarget& target) {
    std::lock_guard lock(lock_);
    if (target.attached_.load()) return;
    targets_.push_back(target.Interface());
    target.attached_.store(true);
}

void Logger::Detach(LogTarget& target) {
    std::lock_guard lock(lock_);
    if (!target.attached_.load()) return;
    target.attached_.store(false);
    std::erase(targets_, target.Interface());
}

void AcquireLogger() {
    Logger::references_.fetch_add(1);
    Logger::Get();
}

void ReleaseLogger() {
    int32_t count = Logger::references_.load();
    do {
        if (count <= 0) return;
    } while (!Logger::references_.compare_exchange_weak(count, count - 1));
    if (count == 1) Logger::DestroyUnreferenced();
}

std::string_view ExecutableNameOfPath(std::string_view path) {
    const size_t separator = path.find_last_of("\\/");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

}  // namespace Zarvo
