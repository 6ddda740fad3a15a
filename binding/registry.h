// BindingRegistry: the descriptors of every record, enumeration, function and event a plugin exposes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "binding/descriptors.h"
#include "binding/static_type.h"

namespace Zarvo {

template <class T>
class RecordBuilder;
template <class E>
class EnumBuilder;
class EventBuilder;
class FunctionBuilder;

class BindingRegistry {
public:
    template <class Descriptor>
    struct Entry {
        Descriptor* descriptor;
        // The name was registered before: the builder steps on this descriptor are skipped.
        bool existed;
    };

    BindingRegistry();
    ~BindingRegistry();
    BindingRegistry(const BindingRegistry&) = delete;
    BindingRegistry& operator=(const BindingRegistry&) = delete;

    // Lookups take the mutex for the search only; the pointers stay valid until the name is unregistered.
    const BindingFunctionInfo* FindFunction(std::string_view name) const;
    const BindingEventInfo* FindEvent(std::string_view name) const;
    const BindingTypeInfo* FindType(std::string_view name) const;
    // Through the hash index: the last registration of a hash code; never the code of void.
    const BindingTypeInfo* FindType(const StaticTypeInfo& staticType) const;

    // Snapshots in the maps' iteration order.
    std::vector<const BindingFunctionInfo*> Functions() const;
    std::vector<const BindingEventInfo*> Events() const;
    std::vector<const BindingTypeInfo*> Types() const;
    size_t FunctionCount() const;

    Entry<BindingTypeInfo> GetOrCreateType(uint32_t size, std::string_view name, const StaticTypeInfo& staticType,
                                           bool isEnum);
    // The payload descriptor is found by its static type (null when that type is not registered).
    Entry<BindingEventInfo> GetOrCreateEvent(std::string_view name, const StaticTypeInfo& payload);
    Entry<BindingFunctionInfo> GetOrCreateFunction(std::string_view name);

    // Erase and destroy the descriptor; false when the name is not registered.
    bool UnregisterFunction(std::string_view name);
    bool UnregisterEvent(std::string_view name);
    bool UnregisterType(std::string_view name);
    // Unregisters every event, then every type, then every function.
    void Clear();

    // Called for every function the registry removes (unregistered, cleared or destroyed with the registry),
    // outside the registry's mutex and before the descriptor is destroyed, so that what refers to the function can
    // let go of it. One callback at a time; an empty one removes it.
    using FunctionRemovedCallback = std::function<void(const BindingFunctionInfo&)>;
    void SetFunctionRemovedCallback(FunctionRemovedCallback callback);

    bool BuiltinsRegistered() const noexcept { return builtinsRegistered_; }
    void SetBuiltinsRegistered(bool registered) noexcept { builtinsRegistered_ = registered; }

    // Builders, defined in binding/registration.h:
    //   registry.Record<Queue>("Queue").Field("id", &Queue::id).Field("minLevel", &Queue::minLevel);
    template <class T>
    RecordBuilder<T> Record(std::string_view name);
    template <class E>
    EnumBuilder<E> Enum(std::string_view name);
    template <class Payload>
    EventBuilder Event(std::string_view name);
    FunctionBuilder Function(std::string_view name);
    template <class Callable>
    FunctionBuilder Function(std::string_view name, Callable callable);

private:
    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view name) const noexcept { return Fnv1a(name); }
    };
    template <class Descriptor>
    using NameMap = std::unordered_map<std::string, std::unique_ptr<Descriptor>, NameHash, std::equal_to<>>;

    const BindingTypeInfo* FindTypeLocked(uint32_t hashCode) const;

    NameMap<BindingFunctionInfo> functions_;
    NameMap<BindingEventInfo> events_;
    NameMap<BindingTypeInfo> types_;
    std::unordered_map<uint32_t, BindingTypeInfo*> typesByHash_;
    mutable std::mutex mutex_;
    bool builtinsRegistered_ = false;
    FunctionRemovedCallback functionRemoved_;
};

}  // namespace Zarvo
