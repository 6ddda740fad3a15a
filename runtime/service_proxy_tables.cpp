#include "runtime/service_proxy_tables.h"

#include <utility>

#include "platform/format.h"
#include "platform/log.h"

namespace Zarvo::Client {

using AppModule::PluginServiceProxyResponse;

std::string ServiceProxyMethodKey(std::string_view serviceName, std::string_view methodName) {
    return FormatString("%1.%2", serviceName, methodName);
}

void ServiceProxyTables::AddPendingCall(std::string key, ServiceProxyHandler handler) {
    std::lock_guard lock(mutex_);
    pendingCalls_.insert_or_assign(std::move(key), std::move(handler));
}

void ServiceProxyTables::SetAsyncHandler(std::string key, ServiceProxyHandler handler) {
    std::lock_guard lock(mutex_);
    asyncHandlers_.insert_or_assign(std::move(key), std::move(handler));
}

void ServiceProxyTables::FileReply(std::string key, const PluginServiceProxyResponse& reply) {
    std::lock_guard lock(mutex_);
    filedReplies_.emplace(std::move(key), reply);
    for (const auto& [filedKey, filedReply] : filedReplies_) {
        const auto pending = pendingCalls_.find(filedKey);
        if (pending == pendingCalls_.end()) continue;
        const std::string claimedKey = filedKey;
        pending->second(PluginServiceProxyResponse(filedReply));
        LogFormat(LogLevel::Always, static_cast<uint32_t>(LogCategory::DBG), 0, "Fulfilled service proxy request: %s",
                  claimedKey.c_str());
        pendingCalls_.erase(claimedKey);
        filedReplies_.erase(claimedKey);
        return;
    }
}

void ServiceProxyTables::HandleAsyncReply(const std::string& key, const PluginServiceProxyResponse& reply) {
    std::lock_guard lock(mutex_);
    const auto handler = asyncHandlers_.find(key);
    if (handler == asyncHandlers_.end()) {
        LogFormat(LogLevel::Error, static_cast<uint32_t>(LogCategory::DBG), 0,
                  "Could not find registered handler for async service proxy event %s", key.c_str());
        return;
    }
    handler->second(reply);
}

size_t ServiceProxyTables::FiledReplyCount() const {
    std::lock_guard lock(mutex_);
    return filedReplies_.size();
}

size_t ServiceProxyTables::PendingCallCount() const {
    std::lock_guard lock(mutex_);
    return pendingCalls_.size();
}

void ServiceProxyTables::Clear() {
    std::lock_guard lock(mutex_);
    pendingCalls_.clear();
    filedReplies_.clear();
    asyncHandlers_.clear();
}

}  // namespace Zarvo::Client
