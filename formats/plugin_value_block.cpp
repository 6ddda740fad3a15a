#include "formats/plugin_value_block.h"

#include <cstring>
#include <new>

#include "binding/registry.h"
#include "formats/pending_list.h"
#include "formats/plugin_value_scalar.h"
#include "platform/allocation.h"

namespace Zarvo {
namespace {

using Kind = BindingProperty::Kind;

// Kinds written without storage of their own.
bool IsScalar(Kind kind) noexcept { return kind < Kind::String; }

// The name of the enumerator with this number, when the registry knows the enumeration and the number.
const char* EnumeratorName(const BindingRegistry* registry, const BindingProperty& property) {
    if (!registry) return nullptr;
    const StaticTypeInfo* type = property.EnumType();
    const BindingTypeInfo* descriptor = type ? registry->FindType(*type) : nullptr;
    const BindingEnumValueInfo* enumerator = descriptor ? descriptor->FindValue(property.EnumValue()) : nullptr;
    return enumerator ? enumerator->name.c_str() : nullptr;
}

// Texts travel up to their first NUL, as a C string copy of them would.
size_t TextLength(const char* text) noexcept { return std::strlen(text); }

// Adds to a byte count; a count past what memory can hold cannot be allocated anyway.
void Add(size_t& total, size_t bytes) {
    if (bytes > SIZE_MAX - total) throw std::bad_alloc();
    total += bytes;
}

void AddProduct(size_t& total, size_t count, size_t size) {
    if (count > SIZE_MAX / size) throw std::bad_alloc();
    Add(total, count * size);
}

// The bytes of the block: the element and entry arrays first, then the texts and bytes.
struct BlockPlan {
    size_t records = 0;
    size_t texts = 0;
};

void PlanLeaf(BlockPlan& plan, const BindingProperty& node, const BindingRegistry* registry) {
    switch (node.GetKind()) {
        case Kind::String: Add(plan.texts, TextLength(node.GetString().data()) + 1); break;
        case Kind::Blob: Add(plan.texts, node.GetBlob().size()); break;
        case Kind::Enum:
            if (const char* name = EnumeratorName(registry, node)) Add(plan.texts, TextLength(name) + 1);
            break;
        default: break;
    }
}

BlockPlan Plan(const BindingProperty& root, const BindingRegistry* registry) {
    BlockPlan plan;
    PendingList<const BindingProperty*> pending;
    pending.Push(&root);
    for (const BindingProperty* node; pending.Pop(node);) {
        if (node->GetKind() == Kind::Collection) {
            auto elements = node->Elements();
            AddProduct(plan.records, elements.size(), sizeof(PluginValue));
            for (const BindingProperty& element : elements) {
                if (!IsScalar(element.GetKind())) pending.Push(&element);
            }
        } else if (node->GetKind() == Kind::Structure) {
            const PropertyStructure& members = node->Members();
            AddProduct(plan.records, members.size(), sizeof(PluginValueEntry));
            for (const auto& [key, child] : members) {
                Add(plan.texts, TextLength(key.CStr()) + 1);
                if (!IsScalar(child.GetKind())) pending.Push(&child);
            }
        } else {
            PlanLeaf(plan, *node, registry);
        }
    }
    return plan;
}

// Fills the block in the order the plan counted it.
class BlockWriter {
public:
    BlockWriter(char* block, const BlockPlan& plan, const BindingRegistry* registry)
        : records_(block), texts_(block + plan.records), registry_(registry) {}

    void Write(PluginValue& root, const BindingProperty& property) {
        pending_.Push({&root, &property});
        for (Pending next; pending_.Pop(next);) WriteNode(*next.value, *next.node);
    }

private:
    struct Pending {
        PluginValue* value;
        const BindingProperty* node;
    };

    template <class Record>
    Record* TakeRecords(size_t count) {
        if (count == 0) return nullptr;
        auto* records = reinterpret_cast<Record*>(records_);
        std::memset(static_cast<void*>(records), 0, count * sizeof(Record));
        records_ += count * sizeof(Record);
        return records;
    }

    const char* CopyText(const char* text, size_t length) {
        char* copy = texts_;
        std::memcpy(copy, text, length);
        copy[length] = '\0';
        texts_ += length + 1;
        return copy;
    }

    void SetText(PluginValue& value, const char* text) {
        const size_t length = TextLength(text);
        value.kind = PluginValueOwnedString;
        value.payload.span = {CopyText(text, length), static_cast<uint32_t>(length)};
    }

    // Scalars are written at once, anything with storage when its turn comes.
    void WriteChild(PluginValue& value, const BindingProperty& child) {
        if (IsScalar(child.GetKind())) WriteBoolOrNumber(value, child);
        else pending_.Push({&value, &child});
    }

    void WriteNode(PluginValue& value, const BindingProperty& node) {
        switch (node.GetKind()) {
            case Kind::Collection: {
                auto elements = node.Elements();
                auto* records = TakeRecords<PluginValue>(elements.size());
                value.kind = PluginValueArray;
                value.payload.span = {records, static_cast<uint32_t>(elements.size())};
                for (size_t i = elements.size(); i-- > 0;) WriteChild(records[i], elements[i]);
                break;
            }
            case Kind::Structure: {
                const PropertyStructure& members = node.Members();
                auto* entries = TakeRecords<PluginValueEntry>(members.size());
                value.kind = PluginValueObject;
                value.payload.span = {entries, static_cast<uint32_t>(members.size())};
                PluginValueEntry* entry = entries;
                for (const auto& [key, child] : members) {
                    entry->key = CopyText(key.CStr(), TextLength(key.CStr()));
                    entry->ownsKey = 1;
                    WriteChild(entry->value, child);
                    ++entry;
                }
                break;
            }
            case Kind::String: SetText(value, node.GetString().data()); break;
            case Kind::Blob: {
                auto bytes = node.GetBlob();
                char* copy = bytes.empty() ? nullptr : texts_;
                if (copy) std::memcpy(copy, bytes.data(), bytes.size());
                texts_ += bytes.size();
                value.kind = PluginValueOwnedBytes;
                value.payload.span = {copy, static_cast<uint32_t>(bytes.size())};
                break;
            }
            case Kind::Enum:
                if (const char* name = EnumeratorName(registry_, node)) {
                    SetText(value, name);
                } else {
                    value.kind = PluginValueSigned;
                    value.payload.i64 = node.EnumValue();
                }
                break;
            default: WriteBoolOrNumber(value, node); break;
        }
    }

    char* records_;
    char* texts_;
    const BindingRegistry* registry_;
    PendingList<Pending> pending_;
};

}  // namespace

void WritePluginValueBlock(PluginValue& value, const BindingProperty& property, const BindingRegistry* registry) {
    const BlockPlan plan = Plan(property, registry);
    size_t size = plan.records;
    Add(size, plan.texts);
    char* block = size ? static_cast<char*>(AllocateOrThrow(size)) : nullptr;
    try {
        BlockWriter(block, plan, registry).Write(value, property);
    } catch (...) {
        Release(block);
        value.kind = PluginValueNull;
        value.payload.u64 = 0;
        throw;
    }
}

// The block begins where the root points: its elements, entries, text or bytes.
void ReleasePluginValueBlock(PluginValue& value) noexcept {
    switch (value.kind) {
        case PluginValueArray:
        case PluginValueObject:
        case PluginValueOwnedString:
        case PluginValueOwnedBytes: Release(const_cast<void*>(value.payload.span.data)); break;
        default: break;
    }
    value.kind = PluginValueNull;
    value.payload.u64 = 0;
}

}  // namespace Zarvo
