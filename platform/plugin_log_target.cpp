#include "platform/plugin_log_target.h"

#include <mutex>

#include "platform/logger.h"

namespace Zarvo {

const char* PluginLogTarget::GetName() const { return "PluginLogTarget"; }

bool PluginLogTarget::Write(const LogEntry& entry) {
    if (!api_ || !api_->WriteLog) return false;
    api_->WriteLog(api_, static_cast<int32_t>(entry.level), entry.message);
    return true;
}

void StartPluginLogging(const PluginCoreApi* api, std::unique_ptr<PluginLogTarget>& holder) {
    Logger& logger = Logger::Instance();
    std::lock_guard lock(logger.Lock());
    if (logger.FindTarget("PluginLogTarget")) return;
    logger.StdOutTarget().Detach();
    logger.StdErrTarget().Detach();
    logger.DebuggerTarget().Detach();
    logger.SetMinimumLevel(LogLevel::Okay);
    logger.SetExcludedCategories(LogCategory::XTR);
    holder = std::make_unique<PluginLogTarget>(api);
    holder->Configure({logger.GetMinimumLevel(), 0, 0, "#D| #L| #G| #M"});
}

}  // namespace Zarvo
