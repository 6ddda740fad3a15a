#include "formats/plugin_value.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "binding/registry.h"
#include "formats/pending_list.h"
#include "formats/plugin_value_scalar.h"
#include "platform/allocation.h"
#include "platform/format.h"

namespace Zarvo {
namespace {

using Kind = BindingProperty::Kind;

const char* KindName(uint32_t kind) {
    switch (kind) {
        case PluginValueBool: return "bool";
        case PluginValueSigned: return "signed";
        case PluginValueUnsigned: return "unsigned";
        case PluginValueFloat: return "float";
        case PluginValueBorrowedString:
        case PluginValueOwnedString: return "string";
        case PluginValueBorrowedBytes:
        case PluginValueOwnedBytes: return "blob";
        case PluginValueArray: return "collection";
        case PluginValueObject: return "structure";
        default: return "";
    }
}

// The name of the enumerator with this number, when the registry knows the enumeration and the number.
const char* EnumeratorName(const BindingRegistry& registry, const StaticTypeInfo* type, int32_t value) {
    const BindingTypeInfo* descriptor = type ? registry.FindType(*type) : nullptr;
    const BindingEnumValueInfo* enumerator = descriptor ? descriptor->FindValue(value) : nullptr;
    return enumerator ? enumerator->name.c_str() : nullptr;
}

template <class T>
T* AllocateZeroed(size_t count) {
    if (count == 0) return nullptr;
    void* block = AllocateOrThrow(count * sizeof(T));
    std::memset(block, 0, count * sizeof(T));
    return static_cast<T*>(block);
}

char* DuplicateOrThrow(const char* text) {
    char* copy = Duplicate(text);
    if (!copy) throw std::bad_alloc();
    return copy;
}

void SetOwnedString(PluginValue& value, const char* text) {
    char* copy = DuplicateOrThrow(text);
    value.kind = PluginValueOwnedString;
    value.payload.span = {copy, static_cast<uint32_t>(std::strlen(copy))};
}

void WriteScalar(PluginValue& value, const BindingProperty& property, const BindingRegistry* registry) {
    if (WriteBoolOrNumber(value, property)) return;
    switch (property.GetKind()) {
        case Kind::String:
            SetOwnedString(value, property.GetString().data());
            break;
        case Kind::Blob: {
            auto bytes = property.GetBlob();
            uint8_t* copy = AllocateZeroed<uint8_t>(bytes.size());
            if (!bytes.empty()) std::memcpy(copy, bytes.data(), bytes.size());
            value.kind = PluginValueOwnedBytes;
            value.payload.span = {copy, static_cast<uint32_t>(bytes.size())};
            break;
        }
        case Kind::Enum: {
            const char* name = registry ? EnumeratorName(*registry, property.EnumType(), property.EnumValue()) : nullptr;
            if (name) {
                SetOwnedString(value, name);
            } else {
                value.kind = PluginValueSigned;
                value.payload.i64 = property.EnumValue();
            }
            break;
        }
        default:
            break;
    }
}

// A text from the core ends at its first NUL or at its length word, whichever comes first, so a text without a NUL
// inside its length is never read past it. A length word of 0 leaves the NUL alone to end the text: some cores
// leave the word unset.
std::string_view CoreText(const PluginValueSpan& span) {
    if (!span.data) return {};
    const auto* text = static_cast<const char*>(span.data);
    if (span.count == 0) return {text, std::strlen(text)};
    const void* nul = std::memchr(text, 0, span.count);
    return {text, nul ? static_cast<size_t>(static_cast<const char*>(nul) - text) : span.count};
}

// One record still to read, and where it goes: the node itself, or a child created only when it is reached,
// so that a failure leaves the later elements and members out.
struct PendingRead {
    const PluginValue* record;
    BindingProperty* node;
    BindingProperty* parent = nullptr;
    uint32_t index = 0;
    const char* key = nullptr;

    BindingProperty& Target() const {
        if (!parent) return *node;
        if (parent->GetKind() == Kind::Collection) return parent->Element(index);
        return parent->ChildForWrite(key ? key : "");
    }
};

bool ReadRecord(std::string& error, BindingProperty& node, const PluginValue& record, std::string_view name,
                PendingList<PendingRead>& pending) {
    const auto& span = record.payload.span;
    switch (record.kind) {
        case PluginValueNull: node.Clear(); return true;
        case PluginValueBool: node.SetBool(record.payload.boolean != 0); return true;
        case PluginValueSigned: node.SetSigned(record.payload.i64); return true;
        case PluginValueUnsigned: node.SetUnsigned(record.payload.u64); return true;
        case PluginValueFloat: node.SetDouble(record.payload.f64); return true;
        case PluginValueBorrowedString:
        case PluginValueOwnedString:
            node.SetString(CoreText(span));
            return true;
        case PluginValueBorrowedBytes:
        case PluginValueOwnedBytes:
            node.SetBlob(static_cast<const uint8_t*>(span.data), span.data ? span.count : 0);
            return true;
        case PluginValueArray: {
            node.MakeCollection();
            // Room for every element up front keeps pointers to the elements valid while they are filled.
            uint32_t count = span.data ? span.count : 0;
            node.Reserve(std::max<size_t>(node.Size(), count));
            auto* records = static_cast<const PluginValue*>(span.data);
            for (uint32_t i = count; i-- > 0;) pending.Push({records + i, nullptr, &node, i});
            return true;
        }
        case PluginValueObject: {
            node.MakeStructure();
            auto* entries = static_cast<const PluginValueEntry*>(span.data);
            const uint32_t count = span.data ? span.count : 0;
            // Room for the members up front (a structure reserves one chunk at most, whatever the count says).
            node.Reserve(std::min<size_t>(count, BindingProperty::MaxCollectionSize));
            for (uint32_t i = count; i-- > 0;) pending.Push({&entries[i].value, nullptr, &node, 0, entries[i].key});
            return true;
        }
        default:
            error = FormatString(
                "Couldn't assign value to '%1' of type object because the input is of an incompatible type '%2'.",
                name, KindName(record.kind));
            return false;
    }
}

}  // namespace

void ClearPluginValue(PluginValue& root) {
    // Owned children are released with an explicit stack, so deep trees cannot exhaust the call stack.
    std::vector<PluginValue*> pending{&root};
    std::vector<void*> blocks;
    while (!pending.empty()) {
        PluginValue& value = *pending.back();
        pending.pop_back();
        auto* data = const_cast<void*>(value.payload.span.data);
        uint32_t count = value.payload.span.count;
        switch (value.kind) {
            case PluginValueOwnedString:
            case PluginValueOwnedBytes:
                Release(data);
                break;
            case PluginValueArray:
                for (uint32_t i = 0; i < count; ++i) pending.push_back(static_cast<PluginValue*>(data) + i);
                blocks.push_back(data);
                break;
            case PluginValueObject:
                for (uint32_t i = 0; i < count; ++i) {
                    auto& entry = static_cast<PluginValueEntry*>(data)[i];
                    if (entry.ownsKey == 1) Release(const_cast<char*>(entry.key));
                    pending.push_back(&entry.value);
                }
                blocks.push_back(data);
                break;
            default:
                break;
        }
        // All eight payload bytes: PluginValue{} sets only the union's first member, a single byte.
        value.kind = PluginValueNull;
        value.payload.u64 = 0;
    }
    for (void* block : blocks) Release(block);
}

bool ToPluginValue(PluginValue& root, const BindingProperty& property, const BindingRegistry* registry) {
    std::vector<std::pair<PluginValue*, const BindingProperty*>> pending{{&root, &property}};
    while (!pending.empty()) {
        auto [value, node] = pending.back();
        pending.pop_back();
        if (node->GetKind() == Kind::Collection) {
            auto elements = node->Elements();
            auto* records = AllocateZeroed<PluginValue>(elements.size());
            value->kind = PluginValueArray;
            value->payload.span = {records, static_cast<uint32_t>(elements.size())};
            for (size_t i = elements.size(); i-- > 0;) pending.emplace_back(records + i, &elements[i]);
        } else if (node->GetKind() == Kind::Structure) {
            const auto& members = node->Members();
            auto* entries = AllocateZeroed<PluginValueEntry>(members.size());
            value->kind = PluginValueObject;
            value->payload.span = {entries, static_cast<uint32_t>(members.size())};
            PluginValueEntry* entry = entries;
            for (const auto& [key, child] : members) {
                entry->key = DuplicateOrThrow(key.CStr());
                entry->ownsKey = 1;
                pending.emplace_back(&entry->value, &child);
                ++entry;
            }
        } else {
            WriteScalar(*value, *node, registry);
        }
    }
    return true;
}

bool FromPluginValue(std::string& error, BindingProperty& property, const PluginValue& value, std::string_view name) {
    error.clear();
    PendingList<PendingRead> pending;
    pending.Push({&value, &property});
    for (PendingRead next; pending.Pop(next);) {
        if (!ReadRecord(error, next.Target(), *next.record, name, pending)) return false;
    }
    return true;
}

}  // namespace Zarvo
