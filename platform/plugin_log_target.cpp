#include "platform/plugin_log_target.h"

#include <algorithm>
#include <mutex>

#include "platform/logger.h"

namespace Zarvo {
namespace {

// Guarded by the logger's lock: the target is created, joined, left and destroyed only under it.
PluginLogTarget* processTarget = nullptr;

}  // namespace

const char* PluginLogTarget::GetName() const { return "PluginLogTarget"; }

bool PluginLogTarget::Write(const LogEntry& entry) {
    std::lock_guard lock(lock_);
    for (const Core& core : cores_) {
        if (!core.api || !core.api->WriteLog) continue;
        core.api->WriteLog(core.api, static_cast<int32_t>(entry.level), entry.message);
        return true;
    }
    return false;
}

void PluginLogTarget::AddCore(const void* owner, const PluginCoreApi* api) {
    std::lock_guard lock(lock_);
    const auto found = std::find_if(cores_.begin(), cores_.end(), [&](const Core& core) { return core.owner == owner; });
    if (found != cores_.end())
        found->api = api;
    else
        cores_.push_back({owner, api});
}

bool PluginLogTarget::RemoveCore(const void* owner) {
    std::lock_guard lock(lock_);
    std::erase_if(cores_, [&](const Core& core) { return core.owner == owner; });
    return !cores_.empty();
}

void StartPluginLogging(const void* owner, const PluginCoreApi* api) {
    Logger& logger = Logger::Instance();
    std::lock_guard lock(logger.Lock());
    if (!processTarget) processTarget = new PluginLogTarget();
    if (!processTarget->IsAttached()) {
        logger.StdOutTarget().Detach();
        logger.StdErrTarget().Detach();
        logger.DebuggerTarget().Detach();
        logger.SetMinimumLevel(LogLevel::Okay);
        logger.SetExcludedCategories(LogCategory::XTR);
        processTarget->Configure({logger.GetMinimumLevel(), 0, 0, "#D| #L| #G| #M"});
    }
    processTarget->AddCore(owner, api);
}

void StopPluginLogging(const void* owner) {
    Logger* logger = Logger::Current();
    if (!logger) return;
    std::lock_guard lock(logger->Lock());
    if (!processTarget || processTarget->RemoveCore(owner)) return;
    delete processTarget;  // detaches it
    processTarget = nullptr;
}

PluginLogTarget* CurrentPluginLogTarget() {
    Logger* logger = Logger::Current();
    if (!logger) return nullptr;
    std::lock_guard lock(logger->Lock());
    return processTarget;
}

}  // namespace Zarvo
