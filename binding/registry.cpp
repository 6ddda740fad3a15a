#include "binding/registry.h"

namespace Zarvo {

namespace {

template <class Map>
auto Find(const Map& map, std::string_view name) -> decltype(map.begin()->second.get()) {
    const auto found = map.find(name);
    return found == map.end() ? nullptr : found->second.get();
}

template <class Descriptor, class Map>
std::vector<const Descriptor*> Snapshot(const Map& map) {
    std::vector<const Descriptor*> descriptors;
    descriptors.reserve(map.size());
    for (const auto& [name, descriptor] : map) descriptors.push_back(descriptor.get());
    return descriptors;
}

}  // namespace

BindingRegistry::BindingRegistry() = default;

BindingRegistry::~BindingRegistry() { Clear(); }

const BindingFunctionInfo* BindingRegistry::FindFunction(std::string_view name) const {
    std::lock_guard lock(mutex_);
    return Find(functions_, name);
}

const BindingEventInfo* BindingRegistry::FindEvent(std::string_view name) const {
    std::lock_guard lock(mutex_);
    return Find(events_, name);
}

const BindingTypeInfo* BindingRegistry::FindType(std::string_view name) const {
    std::lock_guard lock(mutex_);
    return Find(types_, name);
}

const BindingTypeInfo* BindingRegistry::FindType(const StaticTypeInfo& staticType) const {
    std::lock_guard lock(mutex_);
    return FindTypeLocked(staticType.hashCode);
}

const BindingTypeInfo* BindingRegistry::FindTypeLocked(uint32_t hashCode) const {
    const auto found = typesByHash_.find(hashCode);
    return found == typesByHash_.end() ? nullptr : found->second;
}

std::vector<const BindingFunctionInfo*> BindingRegistry::Functions() const {
    std::lock_guard lock(mutex_);
    return Snapshot<BindingFunctionInfo>(functions_);
}

std::vector<const BindingEventInfo*> BindingRegistry::Events() const {
    std::lock_guard lock(mutex_);
    return Snapshot<BindingEventInfo>(events_);
}

std::vector<const BindingTypeInfo*> BindingRegistry::Types() const {
    std::lock_guard lock(mutex_);
    return Snapshot<BindingTypeInfo>(types_);
}

size_t BindingRegistry::FunctionCount() const {
    std::lock_guard lock(mutex_);
    return functions_.size();
}

BindingRegistry::Entry<BindingTypeInfo> BindingRegistry::GetOrCreateType(uint32_t size, std::string_view name,
                                                                         const StaticTypeInfo& staticType,
                                                                         bool isEnum) {
    std::lock_guard lock(mutex_);
    if (BindingTypeInfo* existing = Find(types_, name)) return {existing, true};
    auto descriptor = std::make_unique<BindingTypeInfo>();
    descriptor->size = size;
    descriptor->isEnum = isEnum;
    descriptor->name = name;
    descriptor->hashCode = staticType.hashCode;
    descriptor->staticType = &staticType;
    descriptor->registry = this;
    BindingTypeInfo* created = descriptor.get();
    types_.emplace(created->name, std::move(descriptor));
    if (created->hashCode != StaticType::HashCode<void>().hashCode) typesByHash_[created->hashCode] = created;
    return {created, false};
}

BindingRegistry::Entry<BindingEventInfo> BindingRegistry::GetOrCreateEvent(std::string_view name,
                                                                           const StaticTypeInfo& payload) {
    std::lock_guard lock(mutex_);
    if (BindingEventInfo* existing = Find(events_, name)) return {existing, true};
    auto descriptor = std::make_unique<BindingEventInfo>();
    descriptor->name = name;
    descriptor->type = FindTypeLocked(payload.hashCode);
    BindingEventInfo* created = descriptor.get();
    events_.emplace(created->name, std::move(descriptor));
    return {created, false};
}

BindingRegistry::Entry<BindingFunctionInfo> BindingRegistry::GetOrCreateFunction(std::string_view name) {
    std::lock_guard lock(mutex_);
    if (BindingFunctionInfo* existing = Find(functions_, name)) return {existing, true};
    auto descriptor = std::make_unique<BindingFunctionInfo>();
    descriptor->name = name;
    descriptor->registry = this;
    BindingFunctionInfo* created = descriptor.get();
    functions_.emplace(created->name, std::move(descriptor));
    return {created, false};
}

bool BindingRegistry::UnregisterFunction(std::string_view name) {
    std::unique_ptr<BindingFunctionInfo> removed;
    {
        std::lock_guard lock(mutex_);
        const auto found = functions_.find(name);
        if (found == functions_.end()) return false;
        removed = std::move(found->second);
        functions_.erase(found);
    }
    // The handler (native code) is destroyed after the mutex is released.
    if (functionRemoved_) functionRemoved_(*removed);
    return true;
}

bool BindingRegistry::UnregisterEvent(std::string_view name) {
    std::lock_guard lock(mutex_);
    const auto found = events_.find(name);
    if (found == events_.end()) return false;
    events_.erase(found);
    return true;
}

bool BindingRegistry::UnregisterType(std::string_view name) {
    std::lock_guard lock(mutex_);
    const auto found = types_.find(name);
    if (found == types_.end()) return false;
    // A later registration of the same hash code owns the index entry; leave it.
    const auto indexed = typesByHash_.find(found->second->hashCode);
    if (indexed != typesByHash_.end() && indexed->second == found->second.get()) typesByHash_.erase(indexed);
    types_.erase(found);
    return true;
}

void BindingRegistry::Clear() {
    NameMap<BindingEventInfo> events;
    NameMap<BindingTypeInfo> types;
    NameMap<BindingFunctionInfo> functions;
    {
        std::lock_guard lock(mutex_);
        events.swap(events_);
        types.swap(types_);
        functions.swap(functions_);
        typesByHash_.clear();
    }
    events.clear();
    types.clear();
    if (functionRemoved_)
        for (const auto& [name, function] : functions) functionRemoved_(*function);
    functions.clear();
}

void BindingRegistry::SetFunctionRemovedCallback(FunctionRemovedCallback callback) {
    functionRemoved_ = std::move(callback);
}

}  // namespace Zarvo
