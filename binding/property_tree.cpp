// The operations that walk a whole tree: release, copy and move. None of them recurses, so any depth is safe.
#include <cstddef>
#include <type_traits>
#include <utility>
#include <vector>

#include "binding/property.h"
#include "binding/property_context.h"
#include "platform/allocation.h"

namespace Zarvo {
namespace {

bool IsBranch(BindingProperty::Kind kind) noexcept {
    return kind == BindingProperty::Kind::Collection || kind == BindingProperty::Kind::Structure;
}

bool IsFilledBranch(const BindingProperty& node) noexcept { return IsBranch(node.GetKind()) && node.Size() != 0; }

// The member that holds a child of a Structure.
const PropertyMember& MemberOf(const BindingProperty& child) noexcept {
    static_assert(std::is_standard_layout_v<PropertyMember>);
    return *reinterpret_cast<const PropertyMember*>(reinterpret_cast<const char*>(&child) -
                                                    offsetof(PropertyMember, second));
}

}  // namespace

BindingProperty::BindingProperty(const BindingProperty& other) { CopyFrom(other); }

BindingProperty::BindingProperty(BindingProperty&& other) {
    if (other.ownsContext_) {
        std::swap(payload_, other.payload_);
        std::swap(context_, other.context_);
        std::swap(kind_, other.kind_);
    } else {
        CopyFrom(other);
        other.Clear();
    }
}

BindingProperty& BindingProperty::operator=(const BindingProperty& other) {
    if (this == &other) return *this;
    if (context_ && context_ == other.context_) {
        // One of the two may lie inside the other: copy aside before anything is released.
        BindingProperty copy(context_);
        copy.CopyFrom(other);
        Clear();
        AdoptFrom(copy);
    } else {
        Clear();
        CopyFrom(other);
    }
    return *this;
}

BindingProperty& BindingProperty::operator=(BindingProperty&& other) {
    if (this == &other) return *this;
    if (ownsContext_ && other.ownsContext_) {
        std::swap(payload_, other.payload_);
        std::swap(context_, other.context_);
        std::swap(kind_, other.kind_);
        other.Clear();
    } else if (context_ && context_ == other.context_ && !IsBranch(other.kind_)) {
        BindingProperty moved(context_);
        moved.AdoptFrom(other);
        Clear();
        AdoptFrom(moved);
    } else if (context_ && context_ == other.context_) {
        // This node may lie inside the source: keep its old value apart until the source is cleared.
        BindingProperty copy(context_);
        copy.CopyFrom(other);
        BindingProperty previous(context_);
        previous.AdoptFrom(*this);
        AdoptFrom(copy);
        other.Clear();
    } else {
        Clear();
        CopyFrom(other);
        other.Clear();
    }
    return *this;
}

// A root takes its whole tree with its context; a child releases its value into the tree's context.
BindingProperty::~BindingProperty() {
    if (ownsContext_ && context_) PropertyContext::Destroy(context_);
    else Clear();
}

void BindingProperty::ReleaseStorage() noexcept {
    switch (kind_) {
        case Kind::String: {
            InternedString* record = payload_.string;
            if (record != InternTable::EmptyRecord()) context_->Strings().Release(record);
            break;
        }
        case Kind::Blob: PoolDelete(context_->Blobs(), payload_.blob); break;
        case Kind::Enum: PoolDelete(context_->Enums(), payload_.enumeration); break;
        case Kind::Collection:
        case Kind::Structure: ReleaseTree(); break;
        default: break;
    }
}

void BindingProperty::AdoptFrom(BindingProperty& source) noexcept {
    payload_ = source.payload_;
    kind_ = source.kind_;
    source.kind_ = Kind::Empty;
    source.payload_.u64 = 0;
}

void BindingProperty::FreeLeafBranch(PropertyContext* context) noexcept {
    if (kind_ == Kind::Collection) FreeElements(context);
    else FreeMembers(context);
    kind_ = Kind::Empty;
    payload_.u64 = 0;
}

// A branch's children are looked over in order, and the first one with children of its own is entered; while it
// is emptied, its context field holds its parent, the way back up, and the parent then carries on after it. Once no
// child has children left, the container goes at once with its leaves and a Structure's keys.
void BindingProperty::ReleaseTree() noexcept {
    PropertyContext* context = context_;
    BindingProperty* node = this;
    BindingProperty* finished = nullptr;  // the child just emptied; null on entering a node
    for (;;) {
        BindingProperty* deeper = nullptr;
        if (node->kind_ == Kind::Collection) {
            PropertyCollection& elements = *node->payload_.collection;
            size_t index = finished ? static_cast<size_t>(finished - elements.data()) + 1 : 0;
            for (; index < elements.size() && !deeper; ++index) {
                if (IsFilledBranch(elements[index])) deeper = &elements[index];
            }
        } else {
            PropertyStructure& members = *node->payload_.structure;
            const InternedString* key = finished ? MemberOf(*finished).first.Record() : nullptr;
            auto member = key ? ++members.IteratorAt(members.LowerBound(key->Prefix(), key->Text())) : members.begin();
            for (; member != members.end() && !deeper; ++member) {
                if (IsFilledBranch(member->second)) deeper = &member->second;
            }
        }
        if (deeper) {
            deeper->context_ = reinterpret_cast<PropertyContext*>(node);
            node = deeper;
            finished = nullptr;
            continue;
        }
        node->FreeLeafBranch(context);
        if (node == this) return;
        BindingProperty* parent = reinterpret_cast<BindingProperty*>(node->context_);
        node->context_ = context;
        finished = node;
        node = parent;
    }
}

InternedString* BindingProperty::CopyString(InternedString* record, const PropertyContext* from, bool key) {
    if (record == InternTable::EmptyRecord()) return record;
    if (from == context_) {
        InternTable::Retain(record);
        return record;
    }
    EnsureContext();
    InternTable& strings = context_->Strings();
    return key ? strings.Intern(record->Text()) : strings.ValueRecord(record->Text());
}

void BindingProperty::CopyLeaf(const BindingProperty& other) {
    switch (other.kind_) {
        case Kind::String: payload_.string = CopyString(other.payload_.string, other.context_, false); break;
        case Kind::Blob: {
            std::span<const uint8_t> bytes = other.GetBlob();
            SetBlob(bytes.data(), bytes.size());
            return;
        }
        case Kind::Enum: SetEnum(other.payload_.enumeration->value, other.payload_.enumeration->type); return;
        default: payload_ = other.payload_; break;
    }
    kind_ = other.kind_;
}

// Breadth is copied at once, depth through a list of pending branches on the heap.
void BindingProperty::CopyFrom(const BindingProperty& other) {
    if (!IsBranch(other.kind_)) return CopyLeaf(other);
    struct Pending {
        BindingProperty* target;
        const BindingProperty* source;
    };
    std::vector<Pending, RuntimeAllocator<Pending>> pending;
    pending.push_back({this, &other});
    while (!pending.empty()) {
        auto [target, source] = pending.back();
        pending.pop_back();
        if (source->kind_ == Kind::Collection) {
            target->MakeCollection();
            const PropertyCollection& from = *source->payload_.collection;
            target->Reserve(from.size());
            for (const BindingProperty& element : from) {
                BindingProperty& copy = target->AppendElement();
                if (IsBranch(element.kind_)) pending.push_back({&copy, &element});
                else copy.CopyLeaf(element);
            }
        } else {
            // The source's members come in order and are distinct: each is appended.
            target->MakeStructure();
            const PropertyStructure& from = *source->payload_.structure;
            target->Reserve(from.size_);
            for (const auto& [key, child] : from) {
                InternedString* record = CopyString(key.Record(), source->context_, true);
                const PropertyStructure& to = *target->payload_.structure;
                size_t last = to.chunkCount_ ? to.chunkCount_ - 1 : 0;
                size_t end = to.chunkCount_ ? to.Chunks()[last]->size : 0;
                BindingProperty& copy = target->InsertMember(last, end, record, record->Prefix());
                if (IsBranch(child.kind_)) pending.push_back({&copy, &child});
                else copy.CopyLeaf(child);
            }
        }
    }
}

}  // namespace Zarvo
