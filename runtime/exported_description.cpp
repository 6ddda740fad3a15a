#include "runtime/exported_description.h"

namespace Zarvo::Client {

void ExportedDescription::CopyFrom(const PluginApiDescription& tables) {
    entries_.clear();
    for (const ApiFunctionEntry* entry = tables.functions; entry; entry = entry->next) entries_.push_back(*entry);
    // Chained anew once the array no longer moves.
    for (size_t index = 0; index < entries_.size(); ++index)
        entries_[index].next = index + 1 < entries_.size() ? &entries_[index + 1] : nullptr;
    tables_ = tables;
    tables_.functions = entries_.empty() ? nullptr : entries_.data();
    tables_.functionCount = static_cast<uint32_t>(entries_.size());
}

std::vector<void*> ExportedDescription::DispatchContexts() const {
    std::vector<void*> contexts;
    contexts.reserve(entries_.size());
    for (const ApiFunctionEntry& entry : entries_) {
        void* const context = entry.function.dispatchContext;  // a packed field: read by value
        contexts.push_back(context);
    }
    return contexts;
}

void ExportedDescription::CallThrough(std::span<void* const> handles, PluginDispatchCallback dispatch) {
    for (size_t index = 0; index < entries_.size() && index < handles.size(); ++index) {
        entries_[index].function.dispatchContext = handles[index];
        entries_[index].dispatch = dispatch;
    }
}

}  // namespace Zarvo::Client
