#include "runtime/service_proxy_tables.h"

#include <utility>

#include "platform/format.h"
#include "platform/log.h"

namespace Zarvo::Client {

using AppModule::PluginServiceProxyResponse;

namespace {

void LogFulfilled(std::string_view key) {
    const std::string text(key);
    LogFormat(LogLevel::Always, static_cast<uint32_t>(LogCategory::DBG), 0, "Fulfilled service proxy request: %s",
              text.c_str());
}

}  // namespace

std::string ServiceProxyMethodKey(std::string_view serviceName, std::string_view methodName) {
    return FormatString("%1.%2", serviceName, methodName);
}

PluginServiceProxyResponse ServiceProxyTables::FiledReply::Response() const {
    return {std::string(uuid),    std::string(serviceName), std::string(methodName),
            std::string(payload), std::string(status),      std::string(error)};
}

ServiceProxyTables::Handler ServiceProxyTables::Keep(ServiceProxyHandler handler) {
    return std::allocate_shared<const ServiceProxyHandler>(RuntimeAllocator<ServiceProxyHandler>(),
                                                           std::move(handler));
}

void ServiceProxyTables::AddPendingCall(std::string key, ServiceProxyHandler handler) {
    std::optional<PluginServiceProxyResponse> filed;
    {
        std::lock_guard lock(mutex_);
        filed = ClaimLocked(key);
        if (!filed) pendingCalls_.insert_or_assign(Text(key), Keep(std::move(handler)));
    }
    if (!filed) return;
    handler(*filed);
    LogFulfilled(key);
}

void ServiceProxyTables::SetAsyncHandler(std::string key, ServiceProxyHandler handler) {
    Handler kept = Keep(std::move(handler));
    Handler replaced;
    std::lock_guard lock(mutex_);
    auto [entry, added] = asyncHandlers_.try_emplace(Text(key), kept);
    if (!added) replaced = std::exchange(entry->second, std::move(kept));
    // A handler replacing itself while it runs stays alive through the caller's reference.
}

void ServiceProxyTables::FileReply(std::string key, const PluginServiceProxyResponse& reply) {
    Handler pending;
    std::optional<std::string> firstDropped;
    {
        std::lock_guard lock(mutex_);
        const auto waiting = pendingCalls_.find(key);
        if (waiting != pendingCalls_.end()) {
            pending = std::move(waiting->second);
            pendingCalls_.erase(waiting);
        } else {
            firstDropped = FileLocked(key, reply);
        }
    }
    if (firstDropped)
        LogFormat(LogLevel::Warn, static_cast<uint32_t>(LogCategory::DBG), 0,
                  "Dropping the oldest unclaimed service proxy reply %s: at most %u are kept", firstDropped->c_str(),
                  static_cast<unsigned>(kMaxFiledReplies));
    if (!pending) return;
    (*pending)(reply);
    LogFulfilled(key);
}

std::optional<std::string> ServiceProxyTables::FileLocked(std::string_view key,
                                                          const PluginServiceProxyResponse& reply) {
    std::optional<std::string> firstDropped;
    if (filedReplies_.size() >= kMaxFiledReplies) {
        const FiledReply& oldest = filedReplies_.front();
        // The oldest of all is the oldest of its key: the first of its key's range.
        filedByKey_.erase(filedByKey_.lower_bound(oldest.key));
        if (!droppedReplies_) firstDropped = std::string(oldest.key);
        droppedReplies_ = true;
        filedReplies_.pop_front();
    }
    filedReplies_.push_back({Text(key), Text(reply.uuid), Text(reply.serviceName), Text(reply.methodName),
                             Text(reply.payload), Text(reply.status), Text(reply.error)});
    filedByKey_.emplace(Text(key), std::prev(filedReplies_.end()));
    return firstDropped;
}

std::optional<PluginServiceProxyResponse> ServiceProxyTables::ClaimLocked(std::string_view key) {
    const auto [first, last] = filedByKey_.equal_range(key);
    if (first == last) return std::nullopt;
    PluginServiceProxyResponse claimed = first->second->Response();
    for (auto entry = first; entry != last; ++entry) filedReplies_.erase(entry->second);
    filedByKey_.erase(first, last);
    return claimed;
}

void ServiceProxyTables::HandleAsyncReply(const std::string& key, const PluginServiceProxyResponse& reply) {
    Handler handler;
    {
        std::lock_guard lock(mutex_);
        const auto found = asyncHandlers_.find(key);
        if (found != asyncHandlers_.end()) handler = found->second;
    }
    if (!handler) {
        LogFormat(LogLevel::Error, static_cast<uint32_t>(LogCategory::DBG), 0,
                  "Could not find registered handler for async service proxy event %s", key.c_str());
        return;
    }
    (*handler)(reply);
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
    // Handlers are destroyed once the mutex is released: what they hold may call back.
    KeyMap<Handler> pendingCalls;
    KeyMap<Handler> asyncHandlers;
    FiledIndex filedByKey;
    FiledList filedReplies;
    std::lock_guard lock(mutex_);
    pendingCalls.swap(pendingCalls_);
    asyncHandlers.swap(asyncHandlers_);
    filedByKey.swap(filedByKey_);
    filedReplies.swap(filedReplies_);
}

}  // namespace Zarvo::Client
