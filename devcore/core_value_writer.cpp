#include "devcore/core_value_writer.h"

#include <cstring>
#include <vector>

#include "platform/allocation.h"

namespace Zarvo::DevCore {
namespace {

using Kind = BindingProperty::Kind;

template <class T>
T* AllocateZeroed(size_t count) {
    if (count == 0) return nullptr;
    void* block = AllocateOrThrow(count * sizeof(T));
    std::memset(block, 0, count * sizeof(T));
    return static_cast<T*>(block);
}

char* CopyText(std::string_view text, uint32_t& length) {
    const size_t end = std::min(text.find('\0'), text.size());
    char* copy = AllocateZeroed<char>(end + 1);
    std::memcpy(copy, text.data(), end);
    length = static_cast<uint32_t>(end);
    return copy;
}

void SetSpan(PluginValue& record, uint32_t kind, const void* data, uint32_t count) {
    record.kind = kind;
    record.payload.span = {data, count};
}

}  // namespace

void WriteCoreValue(PluginValue& root, const BindingProperty& value) {
    struct Pending {
        const BindingProperty* node;
        PluginValue* record;
    };
    std::vector<Pending> pending{{&value, &root}};
    while (!pending.empty()) {
        const auto [node, record] = pending.back();
        pending.pop_back();
        *record = PluginValue{};
        switch (node->GetKind()) {
            case Kind::Empty: break;
            case Kind::Bool:
                record->kind = PluginValueBool;
                record->payload.boolean = node->GetBool(false) ? 1 : 0;
                break;
            case Kind::Signed:
                record->kind = PluginValueSigned;
                record->payload.i64 = node->GetSigned(0);
                break;
            case Kind::Enum:
                record->kind = PluginValueSigned;
                record->payload.i64 = node->EnumValue();
                break;
            case Kind::Unsigned:
                record->kind = PluginValueUnsigned;
                record->payload.u64 = node->GetUnsigned(0);
                break;
            case Kind::Float:
                record->kind = PluginValueFloat;
                record->payload.f64 = node->GetDouble(0);
                break;
            case Kind::String: {
                uint32_t length = 0;
                const char* text = CopyText(node->GetString(), length);
                SetSpan(*record, PluginValueOwnedString, text, length);
                break;
            }
            case Kind::Blob: {
                const std::span<const uint8_t> bytes = node->GetBlob();
                uint8_t* copy = AllocateZeroed<uint8_t>(bytes.size());
                if (copy) std::memcpy(copy, bytes.data(), bytes.size());
                SetSpan(*record, PluginValueOwnedBytes, copy, static_cast<uint32_t>(bytes.size()));
                break;
            }
            case Kind::Collection: {
                const std::span<const BindingProperty> elements = node->Elements();
                PluginValue* records = AllocateZeroed<PluginValue>(elements.size());
                SetSpan(*record, PluginValueArray, records, static_cast<uint32_t>(elements.size()));
                for (size_t i = 0; i < elements.size(); ++i) pending.push_back({&elements[i], &records[i]});
                break;
            }
            case Kind::Structure: {
                PluginValueEntry* entries = AllocateZeroed<PluginValueEntry>(node->Size());
                SetSpan(*record, PluginValueObject, entries, static_cast<uint32_t>(node->Size()));
                size_t i = 0;
                for (const auto& [key, child] : node->Members()) {
                    uint32_t ignored = 0;
                    entries[i].key = CopyText(key.View(), ignored);
                    entries[i].ownsKey = 1;
                    pending.push_back({&child, &entries[i].value});
                    ++i;
                }
                break;
            }
        }
    }
}

void FreeCoreValue(PluginValue& root) {
    std::vector<const PluginValue*> pending{&root};
    std::vector<void*> blocks;  // released once nothing pending lies in them
    while (!pending.empty()) {
        const PluginValue& record = *pending.back();
        pending.pop_back();
        const PluginValueSpan span = record.payload.span;
        void* const data = const_cast<void*>(span.data);
        switch (record.kind) {
            case PluginValueOwnedString:
            case PluginValueOwnedBytes: Release(data); break;
            case PluginValueArray:
                for (uint32_t i = 0; i < span.count; ++i) pending.push_back(&static_cast<const PluginValue*>(data)[i]);
                blocks.push_back(data);
                break;
            case PluginValueObject:
                for (uint32_t i = 0; i < span.count; ++i) {
                    const PluginValueEntry& entry = static_cast<const PluginValueEntry*>(data)[i];
                    if (entry.ownsKey) Release(const_cast<char*>(entry.key));
                    pending.push_back(&entry.value);
                }
                blocks.push_back(data);
                break;
            default: break;
        }
    }
    for (void* block : blocks) Release(block);
    root = PluginValue{};
}

}  // namespace Zarvo::DevCore
