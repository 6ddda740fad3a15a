// Which resources a plugin follows, and which core events it has subscribed for them.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "runtime/runtime_types.h"

namespace Zarvo::Client {

using ResourceHandler = std::function<void(const PluginResourceEvent&)>;

// Used without a lock: the core's calls into one plugin do not overlap.
class SubscriptionTable {
public:
    // Stores the handler under the URI, or under the pattern when it holds "*", replacing the one stored there.
    void SetHandler(std::string_view uri, ResourceHandler handler);

    // Counts one more subscription of the event. True for the first, whose dispatch handler is then stored.
    bool AddReference(std::string_view eventName, ResourceHandler dispatch);
    // Counts one fewer. True when that was the last; the event's dispatch handler goes with it. An event that is
    // not subscribed is left alone.
    bool DropReference(std::string_view eventName);

    // The dispatch handler of a subscribed event, or null.
    const ResourceHandler* FindEventHandler(std::string_view eventName) const;
    // The subscribed events and their counts.
    const std::map<std::string, uint32_t, std::less<>>& ReferenceCounts() const noexcept { return referenceCounts_; }

    // Calls the handler of the event's URI ("/" put in front when it lacks one), then every handler whose pattern
    // matches it, in pattern order. Handlers may subscribe while they run.
    void Dispatch(const PluginResourceEvent& event) const;

    void Clear();

private:
    void DispatchRooted(const PluginResourceEvent& event) const;

    using HandlerMap = std::map<std::string, ResourceHandler, std::less<>>;

    HandlerMap exactHandlers_;
    HandlerMap patternHandlers_;
    HandlerMap eventHandlers_;
    std::map<std::string, uint32_t, std::less<>> referenceCounts_;
};

}  // namespace Zarvo::Client
