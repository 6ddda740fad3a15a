// Replies of remote services, filed by key until a waiting caller claims them.
#pragma once

#include <cstddef>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/allocation.h"
#include "runtime/runtime_types.h"

namespace Zarvo::Client {

// The service-proxy events every plugin subscribes to at Init.
inline constexpr const char* kServiceProxyUuidEvent = "OnServiceProxyUuidEvent";
inline constexpr const char* kServiceProxyMethodEvent = "OnServiceProxyMethodEvent";
inline constexpr const char* kServiceProxyAsyncEvent = "OnServiceProxyAsyncEvent";

using ServiceProxyHandler = std::function<void(const AppModule::PluginServiceProxyResponse&)>;

// The key of a method-based reply: "service.method".
std::string ServiceProxyMethodKey(std::string_view serviceName, std::string_view methodName);

// The tables share one mutex, held only while they are read or changed: handlers run, and lines are logged, after
// it is released, so a handler may call back into the tables and a core's WriteLog may re-enter the plugin. Their
// storage comes from the runtime's counted heap (what a handler captures is the std::function's own).
class ServiceProxyTables {
public:
    // Replies nobody waits for are kept up to this number; beyond it the oldest goes.
    static constexpr size_t kMaxFiledReplies = 1024;

    // A caller waiting for the reply filed under the key. A reply filed already completes it at once.
    void AddPendingCall(std::string key, ServiceProxyHandler handler);
    // The handler of the async replies of a key.
    void SetAsyncHandler(std::string key, ServiceProxyHandler handler);

    // Completes the call waiting under the key with the reply, or files the reply for a call to come: the key's
    // oldest reply completes it, and every reply under the key goes with it.
    void FileReply(std::string key, const AppModule::PluginServiceProxyResponse& reply);
    // Calls the async handler of the key; logs an error when there is none.
    void HandleAsyncReply(const std::string& key, const AppModule::PluginServiceProxyResponse& reply);

    size_t FiledReplyCount() const;
    size_t PendingCallCount() const;
    void Clear();

private:
    using Text = std::basic_string<char, std::char_traits<char>, RuntimeAllocator<char>>;
    struct KeyLess {
        using is_transparent = void;
        bool operator()(std::string_view left, std::string_view right) const { return left < right; }
    };
    template <class Value>
    using KeyMap = std::map<Text, Value, KeyLess, RuntimeAllocator<std::pair<const Text, Value>>>;
    using Handler = std::shared_ptr<const ServiceProxyHandler>;

    // A reply as filed, its texts in the counted heap.
    struct FiledReply {
        Text key, uuid, serviceName, methodName, payload, status, error;
        AppModule::PluginServiceProxyResponse Response() const;
    };
    using FiledList = std::list<FiledReply, RuntimeAllocator<FiledReply>>;
    using FiledIndex = std::multimap<Text, FiledList::iterator, KeyLess,
                                     RuntimeAllocator<std::pair<const Text, FiledList::iterator>>>;

    static Handler Keep(ServiceProxyHandler handler);
    // Under the mutex: files the reply, dropping the oldest past the bound; returns the dropped key when this is the
    // first drop, for the one warning.
    std::optional<std::string> FileLocked(std::string_view key, const AppModule::PluginServiceProxyResponse& reply);
    // Under the mutex: takes the key's oldest reply out with every other under the key.
    std::optional<AppModule::PluginServiceProxyResponse> ClaimLocked(std::string_view key);

    mutable std::mutex mutex_;
    KeyMap<Handler> pendingCalls_;
    FiledList filedReplies_;  // oldest first
    FiledIndex filedByKey_;   // within a key, in filing order
    KeyMap<Handler> asyncHandlers_;
    bool droppedReplies_ = false;
};

}  // namespace Zarvo::Client
