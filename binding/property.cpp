#include "binding/property.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <new>
#include <stdexcept>

#include "binding/property_context.h"

namespace Zarvo {
namespace {

constexpr const char* KindNames[] = {"empty",  "bool", "signed", "unsigned",   "float",
                                     "string", "blob", "enum",   "collection", "structure"};

[[noreturn]] void ThrowTooLong() { throw std::length_error("collection larger than 268435455 elements"); }

// Room for this many elements is made on a Collection's first one.
constexpr size_t FirstCollectionCapacity = 4;

size_t CollectionBlockSize(size_t capacity) noexcept {
    return sizeof(PropertyCollection) + capacity * sizeof(BindingProperty);
}

// Every Collection starts as this one, which has no room: it is shared and never written.
PropertyCollection& EmptyCollection() noexcept {
    static PropertyCollection none;
    return none;
}

// Truncation toward zero; values outside the unsigned range saturate, negative ones wrap as a signed value would.
uint64_t TruncateToUnsigned(double value) noexcept {
    constexpr double TwoTo64 = 18446744073709551616.0;
    constexpr double MinusTwoTo63 = -9223372036854775808.0;
    if (std::isnan(value)) return 0;
    if (value >= TwoTo64) return UINT64_MAX;
    if (value >= 0) return static_cast<uint64_t>(value);
    if (value >= MinusTwoTo63) return static_cast<uint64_t>(static_cast<int64_t>(value));
    return uint64_t{1} << 63;
}

}  // namespace

BindingProperty::BindingProperty() noexcept = default;

const char* BindingProperty::KindName(Kind kind) noexcept {
    auto index = static_cast<size_t>(kind);
    return index < std::size(KindNames) ? KindNames[index] : "";
}

size_t BindingProperty::Size() const noexcept {
    switch (kind_) {
        case Kind::Empty: return 0;
        case Kind::String: return payload_.string->size;
        case Kind::Blob: return payload_.blob->size();
        case Kind::Collection: return payload_.collection->size_;
        case Kind::Structure: return payload_.structure->size_;
        default: return 1;
    }
}

void BindingProperty::CreateContext() {
    context_ = PropertyContext::Create();
    // A node without a context owns the one it makes, whatever it was built as.
    ownsContext_ = true;
}

// New storage is made before the old value is released: the argument may point into it.
void BindingProperty::SetString(std::string_view text) {
    InternedString* record = InternTable::EmptyRecord();
    if (!text.empty()) {
        EnsureContext();
        record = context_->Strings().ValueRecord(text);
    }
    Clear();
    payload_.string = record;
    kind_ = Kind::String;
}

void BindingProperty::SetString(const char* text) { SetString(text ? std::string_view(text) : std::string_view()); }

void BindingProperty::SetBlob(const uint8_t* data, size_t size) {
    EnsureContext();
    SmallBlockPool& pool = context_->Blobs();
    PropertyBlob* blob = PoolNew<PropertyBlob>(pool, PoolAllocator<uint8_t>(&pool));
    try {
        if (size) blob->assign(data, data + size);
    } catch (...) {
        PoolDelete(pool, blob);
        throw;
    }
    Clear();
    payload_.blob = blob;
    kind_ = Kind::Blob;
}

void BindingProperty::SetEnum(int32_t value, const StaticTypeInfo* type) {
    EnsureContext();
    EnumPair* pair = PoolNew<EnumPair>(context_->Enums(), EnumPair{value, type});
    Clear();
    payload_.enumeration = pair;
    kind_ = Kind::Enum;
}

void BindingProperty::MakeCollection() {
    if (kind_ == Kind::Collection) return;
    Clear();
    EnsureContext();
    payload_.collection = &EmptyCollection();
    kind_ = Kind::Collection;
}

std::span<const uint8_t> BindingProperty::GetBlob() const noexcept {
    if (kind_ != Kind::Blob) return {};
    return {payload_.blob->data(), payload_.blob->size()};
}

int32_t BindingProperty::EnumValue() const noexcept { return kind_ == Kind::Enum ? payload_.enumeration->value : 0; }

const StaticTypeInfo* BindingProperty::EnumType() const noexcept {
    return kind_ == Kind::Enum ? payload_.enumeration->type : nullptr;
}

bool BindingProperty::AsBool() const noexcept {
    switch (kind_) {
        case Kind::Bool: return payload_.boolean;
        case Kind::Signed: return payload_.i64 != 0;
        case Kind::Unsigned: return payload_.u64 != 0;
        case Kind::Float: return !(payload_.f64 == 0.0);
        case Kind::String: {
            std::string_view text = payload_.string->Text();
            return text == "true" || text == "1";
        }
        case Kind::Enum: return payload_.enumeration->value != 0;
        case Kind::Blob:
        case Kind::Collection:
        case Kind::Structure: return Size() != 0;
        default: return false;
    }
}

uint64_t BindingProperty::AsUnsigned64(uint64_t fallback) const noexcept {
    switch (kind_) {
        case Kind::Bool: return payload_.boolean ? 1 : 0;
        case Kind::Signed: return static_cast<uint64_t>(payload_.i64);
        case Kind::Unsigned: return payload_.u64;
        case Kind::Float: return TruncateToUnsigned(payload_.f64);
        case Kind::String: return std::strtoull(payload_.string->CStr(), nullptr, 0);
        case Kind::Enum: return static_cast<uint64_t>(static_cast<int64_t>(payload_.enumeration->value));
        default: return fallback;
    }
}

bool BindingProperty::IsDefault() const noexcept {
    switch (kind_) {
        case Kind::Bool: return !payload_.boolean;
        case Kind::Signed: return payload_.i64 == 0;
        case Kind::Unsigned: return payload_.u64 == 0;
        case Kind::Float: return payload_.f64 == 0.0;
        case Kind::Enum: return payload_.enumeration->value == 0;
        default: return Size() == 0;
    }
}

BindingProperty& BindingProperty::ElementWithGrowth(size_t index) {
    if (index >= MaxCollectionSize) ThrowTooLong();
    MakeCollection();
    PropertyCollection* elements = payload_.collection;
    if (index < elements->size_) return elements->data()[index];
    if (index >= elements->capacity_) {
        GrowCollection(std::max({index + 1, FirstCollectionCapacity, std::min(elements->capacity_ * 2, MaxCollectionSize)}));
    }
    while (payload_.collection->size_ < index) AppendElement();
    return AppendElement();
}

void BindingProperty::Reserve(size_t count) {
    if (count > MaxCollectionSize) ThrowTooLong();
    if (kind_ == Kind::Collection && count > payload_.collection->capacity_) GrowCollection(count);
    if (kind_ == Kind::Structure) ReserveMembers(count);
}

void BindingProperty::GrowCollection(size_t capacity) {
    PropertyCollection& elements = *payload_.collection;
    SmallBlockPool& pool = context_->Collections();
    auto* grown = new (pool.Allocate(CollectionBlockSize(capacity))) PropertyCollection();
    grown->capacity_ = capacity;
    grown->size_ = elements.size_;
    BindingProperty* to = grown->data();
    for (BindingProperty& element : elements) (new (to++) BindingProperty(context_))->AdoptFrom(element);
    if (elements.capacity_) pool.Release(&elements, CollectionBlockSize(elements.capacity_));
    payload_.collection = grown;
}

void BindingProperty::FreeElements(PropertyContext* context) noexcept {
    PropertyCollection& elements = *payload_.collection;
    for (BindingProperty& element : elements) element.Clear();
    if (elements.capacity_) context->Collections().Release(&elements, CollectionBlockSize(elements.capacity_));
}

const BindingProperty& BindingProperty::EmptyNode() noexcept {
    static const BindingProperty empty;
    return empty;
}

}  // namespace Zarvo
