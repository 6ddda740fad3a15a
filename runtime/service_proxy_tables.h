// Replies of remote services, filed by key until a waiting caller claims them.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "runtime/runtime_types.h"

namespace Zarvo::Client {

// The service-proxy events every plugin subscribes to at Init.
inline constexpr const char* kServiceProxyUuidEvent = "OnServiceProxyUuidEvent";
inline constexpr const char* kServiceProxyMethodEvent = "OnServiceProxyMethodEvent";
inline constexpr const char* kServiceProxyAsyncEvent = "OnServiceProxyAsyncEvent";

using ServiceProxyHandler = std::function<void(const AppModule::PluginServiceProxyResponse&)>;

// The key of a method-based reply: "service.method".
std::string ServiceProxyMethodKey(std::string_view serviceName, std::string_view methodName);

// All tables share one mutex, which is held while a handler runs: a handler must not call back into the tables.
class ServiceProxyTables {
public:
    // A caller waiting for the reply filed under the key.
    void AddPendingCall(std::string key, ServiceProxyHandler handler);
    // The handler of the async replies of a key.
    void SetAsyncHandler(std::string key, ServiceProxyHandler handler);

    // Files the reply under the key, then completes the first filed reply, in key order, that has a pending call:
    // that call gets a copy of it and goes, with every reply filed under its key.
    void FileReply(std::string key, const AppModule::PluginServiceProxyResponse& reply);
    // Calls the async handler of the key; logs an error when there is none.
    void HandleAsyncReply(const std::string& key, const AppModule::PluginServiceProxyResponse& reply);

    size_t FiledReplyCount() const;
    size_t PendingCallCount() const;
    void Clear();

private:
    mutable std::mutex mutex_;
    std::map<std::string, ServiceProxyHandler> pendingCalls_;
    std::multimap<std::string, AppModule::PluginServiceProxyResponse> filedReplies_;
    std::map<std::string, ServiceProxyHandler> asyncHandlers_;
};

}  // namespace Zarvo::Client
