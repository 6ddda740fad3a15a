#include "runtime/subscription_table.h"

#include <utility>
#include <vector>

#include "runtime/uri_pattern.h"

namespace Zarvo::Client {

void SubscriptionTable::SetHandler(std::string_view uri, ResourceHandler handler) {
    HandlerMap& handlers = IsUriPattern(uri) ? patternHandlers_ : exactHandlers_;
    handlers.insert_or_assign(std::string(uri), std::move(handler));
}

bool SubscriptionTable::AddReference(std::string_view eventName, ResourceHandler dispatch) {
    auto [count, inserted] = referenceCounts_.try_emplace(std::string(eventName), 0u);
    if (++count->second != 1) return false;
    eventHandlers_.insert_or_assign(count->first, std::move(dispatch));
    return true;
}

bool SubscriptionTable::DropReference(std::string_view eventName) {
    const auto count = referenceCounts_.find(eventName);
    if (count == referenceCounts_.end()) return false;
    if (--count->second != 0) return false;
    const auto handler = eventHandlers_.find(eventName);
    if (handler != eventHandlers_.end()) eventHandlers_.erase(handler);
    referenceCounts_.erase(count);
    return true;
}

const ResourceHandler* SubscriptionTable::FindEventHandler(std::string_view eventName) const {
    const auto found = eventHandlers_.find(eventName);
    return found == eventHandlers_.end() ? nullptr : &found->second;
}

void SubscriptionTable::Dispatch(const PluginResourceEvent& event) const {
    if (event.uri.starts_with('/')) return DispatchRooted(event);
    DispatchRooted(PluginResourceEvent{"/" + event.uri, event.eventType, event.data});
}

void SubscriptionTable::DispatchRooted(const PluginResourceEvent& event) const {
    // Copies: a handler may replace or add handlers while it runs.
    std::vector<ResourceHandler> handlers;
    if (const auto exact = exactHandlers_.find(event.uri); exact != exactHandlers_.end())
        handlers.push_back(exact->second);
    for (const auto& [pattern, handler] : patternHandlers_)
        if (MatchesUriPattern(pattern, event.uri)) handlers.push_back(handler);
    for (const ResourceHandler& handler : handlers) handler(event);
}

void SubscriptionTable::Clear() {
    exactHandlers_.clear();
    patternHandlers_.clear();
    eventHandlers_.clear();
    referenceCounts_.clear();
}

}  // namespace Zarvo::Client
