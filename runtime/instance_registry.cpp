#include "runtime/instance_registry.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

#include "platform/allocation.h"
#include "runtime/plugin.h"

namespace Zarvo::Client::InstanceRegistry {
namespace {

template <class Key, class Value>
using CountedMap = std::map<Key, Value, std::less<Key>, RuntimeAllocator<std::pair<const Key, Value>>>;

struct HandleTarget {
    Plugin* plugin;
    void* dispatchContext;  // null for the instance's own handle
};

struct InstanceState {
    uint32_t callsInFlight = 0;
    bool shuttingDown = false;
};

struct Registry {
    std::mutex mutex;
    // Handles are numbers from 1 up; one below nextHandle that is not in the table belonged to an instance now gone.
    uintptr_t nextHandle = 1;
    CountedMap<uintptr_t, HandleTarget> handles;
    CountedMap<const Plugin*, InstanceState> instances;

    void EraseLocked(const Plugin& plugin) noexcept {
        std::erase_if(handles, [&](const auto& entry) { return entry.second.plugin == &plugin; });
        instances.erase(&plugin);
    }
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

void* HandleOf(uintptr_t value) { return reinterpret_cast<void*>(value); }

}  // namespace

void* Register(Plugin& plugin, std::span<void* const> dispatchContexts, std::span<void*> functionHandles) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    const uintptr_t first = registry.nextHandle;
    try {
        registry.instances.try_emplace(&plugin);
        registry.handles.emplace(first, HandleTarget{&plugin, nullptr});
        for (size_t index = 0; index < dispatchContexts.size(); ++index) {
            registry.handles.emplace(first + 1 + index, HandleTarget{&plugin, dispatchContexts[index]});
            functionHandles[index] = HandleOf(first + 1 + index);
        }
    } catch (...) {
        registry.EraseLocked(plugin);
        throw;
    }
    registry.nextHandle = first + 1 + dispatchContexts.size();
    return HandleOf(first);
}

void Forget(const Plugin& plugin) noexcept {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    registry.EraseLocked(plugin);
}

Call::Call(void* handle) noexcept {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    const auto value = reinterpret_cast<uintptr_t>(handle);
    const auto target = registry.handles.find(value);
    if (target == registry.handles.end()) {
        state_ = value != 0 && value < registry.nextHandle ? HandleState::ShuttingDown : HandleState::Unknown;
        return;
    }
    InstanceState& instance = registry.instances.find(target->second.plugin)->second;
    if (instance.shuttingDown) {
        state_ = HandleState::ShuttingDown;
        return;
    }
    ++instance.callsInFlight;
    state_ = HandleState::Live;
    plugin_ = target->second.plugin;
    dispatchContext_ = target->second.dispatchContext;
}

Call::~Call() {
    if (state_ != HandleState::Live) return;
    Registry& registry = TheRegistry();
    bool finish = false;
    {
        std::lock_guard lock(registry.mutex);
        InstanceState& instance = registry.instances.find(plugin_)->second;
        finish = --instance.callsInFlight == 0 && instance.shuttingDown;
    }
    // Once it is shutting down no call is counted any more: only this one can see the count reach 0.
    if (finish) Plugin::Finish(plugin_);
}

bool Call::ShutdownStarted() const noexcept {
    if (state_ != HandleState::Live) return true;
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    return registry.instances.find(plugin_)->second.shuttingDown;
}

void Destroy(void* handle) noexcept {
    Registry& registry = TheRegistry();
    Plugin* finishNow = nullptr;
    {
        std::lock_guard lock(registry.mutex);
        const auto target = registry.handles.find(reinterpret_cast<uintptr_t>(handle));
        if (target == registry.handles.end() || target->second.dispatchContext) return;
        InstanceState& instance = registry.instances.find(target->second.plugin)->second;
        if (instance.shuttingDown) return;
        instance.shuttingDown = true;
        if (instance.callsInFlight == 0) finishNow = target->second.plugin;
    }
    if (finishNow) Plugin::Finish(finishNow);
}

size_t LiveInstanceCount() noexcept {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    size_t live = 0;
    for (const auto& [plugin, state] : registry.instances) live += state.shuttingDown ? 0 : 1;
    return live;
}

}  // namespace Zarvo::Client::InstanceRegistry
