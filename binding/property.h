// BindingProperty: the one dynamically typed value of the runtime, and BindingResult, a value with an ok flag.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "binding/property_pool.h"

namespace Zarvo {

struct StaticTypeInfo;
class PropertyContext;
class BindingProperty;

// One distinct text of a tree, shared by every node and key that holds it.
struct InternedString {
    std::string text;
    uint32_t hash;
    uint32_t refCount;
};

// A structure key: an interned text, ordered by the unsigned byte order of the texts.
class PropertyKey {
public:
    explicit PropertyKey(InternedString* record) noexcept : record_(record) {}
    std::string_view View() const noexcept { return record_->text; }
    const char* CStr() const noexcept { return record_->text.c_str(); }
    uint32_t Hash() const noexcept { return record_->hash; }
    InternedString* Record() const noexcept { return record_; }

private:
    InternedString* record_;
};

struct PropertyKeyLess {
    using is_transparent = void;
    bool operator()(const PropertyKey& a, const PropertyKey& b) const noexcept { return Less(a.View(), b.View()); }
    bool operator()(const PropertyKey& a, std::string_view b) const noexcept { return Less(a.View(), b); }
    bool operator()(std::string_view a, const PropertyKey& b) const noexcept { return Less(a, b.View()); }

private:
    // Unsigned byte order; most keys differ in their first byte, which is decided without a call.
    static bool Less(std::string_view a, std::string_view b) noexcept {
        if (!a.empty() && !b.empty() && a[0] != b[0]) return static_cast<unsigned char>(a[0]) < static_cast<unsigned char>(b[0]);
        return a < b;
    }
};

using PropertyBlob = std::vector<uint8_t, PoolAllocator<uint8_t>>;
using PropertyCollection = std::vector<BindingProperty, PoolAllocator<BindingProperty>>;
using PropertyStructure =
    std::map<PropertyKey, BindingProperty, PropertyKeyLess, PoolAllocator<std::pair<const PropertyKey, BindingProperty>>>;

class BindingProperty {
public:
    enum class Kind : uint8_t { Empty, Bool, Signed, Unsigned, Float, String, Blob, Enum, Collection, Structure };

    // A root: owns its context, which is created on first need.
    BindingProperty() noexcept;
    // A child: borrows the context of the tree it belongs to.
    explicit BindingProperty(PropertyContext* context) noexcept;
    BindingProperty(const BindingProperty& other);
    BindingProperty(BindingProperty&& other);
    BindingProperty& operator=(const BindingProperty& other);
    BindingProperty& operator=(BindingProperty&& other);
    ~BindingProperty();

    Kind GetKind() const noexcept { return kind_; }
    const char* KindName() const noexcept { return KindName(kind_); }
    static const char* KindName(Kind kind) noexcept;
    bool IsEmpty() const noexcept { return kind_ == Kind::Empty; }
    // Empty 0; String its length; Blob, Collection, Structure their counts; other kinds 1.
    size_t Size() const noexcept;
    PropertyContext* Context() const noexcept { return context_; }

    void Clear() noexcept;
    void SetBool(bool value);
    void SetSigned(int64_t value);
    void SetUnsigned(uint64_t value);
    void SetDouble(double value);
    void SetString(std::string_view text);
    void SetString(const char* text);
    void SetBlob(const uint8_t* data, size_t size);
    void SetEnum(int32_t value, const StaticTypeInfo* type);
    // Leave a node that already is a Collection (Structure) as it is; otherwise clear it and make it an empty one.
    void MakeCollection();
    void MakeStructure();

    // Exact-kind getters: the payload when the kind matches, else the default.
    bool GetBool(bool fallback) const noexcept;
    int64_t GetSigned(int64_t fallback) const noexcept;
    uint64_t GetUnsigned(uint64_t fallback) const noexcept;
    double GetDouble(double fallback) const noexcept;
    std::string_view GetString(std::string_view fallback = {}) const noexcept;
    std::span<const uint8_t> GetBlob() const noexcept;
    int32_t EnumValue() const noexcept;
    const StaticTypeInfo* EnumType() const noexcept;

    // Truthiness: Bool its value, numbers non-zero, String "true" or "1", containers non-empty.
    bool AsBool() const noexcept;
    uint64_t AsUnsigned64(uint64_t fallback) const noexcept;
    bool IsDefault() const noexcept;

    // Collection access. Reading out of range (or from another kind) yields the shared static Empty node.
    const BindingProperty& At(size_t index) const noexcept;
    // Makes the node a Collection and grows it with Empty elements until the index exists.
    BindingProperty& Element(size_t index);
    // Throws std::length_error above MaxCollectionSize elements.
    void Reserve(size_t count);
    std::span<BindingProperty> Elements() noexcept;
    std::span<const BindingProperty> Elements() const noexcept;

    // Structure access. Reading an absent key (or from another kind) yields the shared static Empty node.
    const BindingProperty& Child(std::string_view key) const noexcept;
    // Makes the node a Structure and inserts an Empty child when the key is absent.
    BindingProperty& ChildForWrite(std::string_view key);
    // Children in ascending byte order of their keys; empty for other kinds.
    const PropertyStructure& Members() const noexcept;
    PropertyStructure& Members() noexcept;

    static const BindingProperty& EmptyNode() noexcept;
    static constexpr size_t MaxCollectionSize = 268435455;

private:
    void EnsureContext();
    // Builds a deep copy of other in this node, which is Empty.
    void CopyFrom(const BindingProperty& other);
    void CopyLeaf(const BindingProperty& other);
    InternedString* CopyString(InternedString* record, const PropertyContext* from);
    // Takes over the value of a node of the same context; this node is Empty, the source is left Empty.
    void AdoptFrom(BindingProperty& source) noexcept;
    // Releases a Collection or Structure and everything beneath it without recursion.
    void ReleaseTree() noexcept;
    // Frees a branch whose children are all leaves. Takes the context as an argument: during a release the
    // field may hold the way back up.
    void FreeLeafBranch(PropertyContext* context) noexcept;
    // Grows by moving the nodes themselves, so children keep their context and subtrees.
    void GrowCollection(size_t capacity);

    union Payload {
        bool boolean;
        int64_t i64;
        uint64_t u64;
        double f64;
        InternedString* string;
        PropertyBlob* blob;
        struct EnumPair* enumeration;
        PropertyCollection* collection;
        PropertyStructure* structure;
    } payload_{};
    PropertyContext* context_ = nullptr;
    Kind kind_ = Kind::Empty;
    bool ownsContext_ = true;
};

// A value with an ok flag; a failure is the structure {"error": message}.
struct BindingResult {
    BindingProperty value;
    bool ok = true;

    BindingResult() = default;
    explicit BindingResult(const BindingProperty& property) : value(property) {}
    void SetError(std::string_view message);
    // Empty when ok; otherwise the text of the "error" child when it is a String.
    std::string_view ErrorMessage() const noexcept;
};

}  // namespace Zarvo
