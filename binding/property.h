// BindingProperty: the one dynamically typed value of the runtime, and BindingResult, a value with an ok flag.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "binding/property_pool.h"
#include "binding/static_type.h"
#include "platform/byte_order.h"

namespace Zarvo {

struct StaticTypeInfo;
class PropertyContext;
class BindingProperty;

// One distinct text of a tree, shared by every node and key that holds it. The text follows the record in its
// block, NUL-terminated, so that a record is one allocation whatever its length.
struct InternedString {
    uint32_t refCount;
    // The count is the references of the tree whose epoch this is: a context kept for the next tree keeps its
    // records, and moving to the next epoch leaves them all unreferenced at once.
    uint32_t epoch;
    size_t size;

    const char* CStr() const noexcept { return reinterpret_cast<const char*>(this + 1); }
    std::string_view Text() const noexcept { return {CStr(), size}; }
    // Texts of up to 16 bytes are compared as two overlapping words, without a call.
    bool Is(std::string_view text) const noexcept {
        size_t length = text.size();
        if (size != length) return false;
        const char* a = CStr();
        const char* b = text.data();
        auto differ = [&](auto word, size_t offset) {
            decltype(word) x, y;
            std::memcpy(&x, a + offset, sizeof x);
            std::memcpy(&y, b + offset, sizeof y);
            return x ^ y;
        };
        if (length > 16) return std::memcmp(a, b, length) == 0;
        if (length >= 8) return (differ(uint64_t{}, 0) | differ(uint64_t{}, length - 8)) == 0;
        if (length >= 4) return (differ(uint32_t{}, 0) | differ(uint32_t{}, length - 4)) == 0;
        for (size_t i = 0; i < length; ++i) {
            if (a[i] != b[i]) return false;
        }
        return true;
    }
    // FNV-1a of the text. Worked out when asked: the byte-serial hash would cost more than the rest of making a
    // record, and the table places records by a hash of its own.
    uint32_t Hash() const noexcept { return Fnv1a(Text()); }
    // The first eight bytes of the text as a big-endian number, zero past its end, so that texts whose prefixes
    // differ are in the order of these numbers. A record's block always has eight bytes of room for its text.
    uint64_t Prefix() const noexcept {
        uint64_t word;
        std::memcpy(&word, CStr(), sizeof word);
        if constexpr (std::endian::native == std::endian::little) word = ByteSwap64(word);
        return size >= 8 ? word : word & ~(UINT64_MAX >> (size * 8));
    }
};

// A structure key: an interned text, ordered by the unsigned byte order of the texts.
class PropertyKey {
public:
    explicit PropertyKey(InternedString* record) noexcept : record_(record) {}
    std::string_view View() const noexcept { return record_->Text(); }
    const char* CStr() const noexcept { return record_->CStr(); }
    uint32_t Hash() const noexcept { return record_->Hash(); }
    InternedString* Record() const noexcept { return record_; }

private:
    InternedString* record_;
};

using PropertyBlob = std::vector<uint8_t, PoolAllocator<uint8_t>>;
class PropertyCollection;
struct PropertyMember;
class PropertyStructure;

class BindingProperty {
public:
    enum class Kind : uint8_t { Empty, Bool, Signed, Unsigned, Float, String, Blob, Enum, Collection, Structure };

    // A root: owns its context, which is created on first need.
    BindingProperty() noexcept;
    // A child: borrows the context of the tree it belongs to.
    explicit BindingProperty(PropertyContext* context) noexcept : context_(context), ownsContext_(false) {}
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

    void Clear() noexcept {
        if (kind_ >= Kind::String) ReleaseStorage();
        kind_ = Kind::Empty;
        payload_.u64 = 0;
    }
    void SetBool(bool value) noexcept {
        Clear();
        payload_.boolean = value;
        kind_ = Kind::Bool;
    }
    void SetSigned(int64_t value) noexcept {
        Clear();
        payload_.i64 = value;
        kind_ = Kind::Signed;
    }
    void SetUnsigned(uint64_t value) noexcept {
        Clear();
        payload_.u64 = value;
        kind_ = Kind::Unsigned;
    }
    void SetDouble(double value) noexcept {
        Clear();
        payload_.f64 = value;
        kind_ = Kind::Float;
    }
    void SetString(std::string_view text);
    void SetString(const char* text);
    void SetBlob(const uint8_t* data, size_t size);
    void SetEnum(int32_t value, const StaticTypeInfo* type);
    // Leave a node that already is a Collection (Structure) as it is; otherwise clear it and make it an empty one.
    void MakeCollection();
    void MakeStructure();

    // Exact-kind getters: the payload when the kind matches, else the default.
    bool GetBool(bool fallback) const noexcept { return kind_ == Kind::Bool ? payload_.boolean : fallback; }
    int64_t GetSigned(int64_t fallback) const noexcept { return kind_ == Kind::Signed ? payload_.i64 : fallback; }
    uint64_t GetUnsigned(uint64_t fallback) const noexcept { return kind_ == Kind::Unsigned ? payload_.u64 : fallback; }
    double GetDouble(double fallback) const noexcept { return kind_ == Kind::Float ? payload_.f64 : fallback; }
    std::string_view GetString(std::string_view fallback = {}) const noexcept {
        return kind_ == Kind::String ? payload_.string->Text() : fallback;
    }
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
    bool HasChild(std::string_view key) const noexcept { return &Child(key) != &EmptyNode(); }
    // Makes the node a Structure and inserts an Empty child when the key is absent.
    BindingProperty& ChildForWrite(std::string_view key);
    // Gives this node the value of its member under the key, taken over rather than copied, and lets the other members
    // go; a node that is no Structure, or has no such member, becomes Empty.
    void ReplaceWithMember(std::string_view key) noexcept;
    // Children in ascending byte order of their keys; empty for other kinds. Adding a child never moves the others.
    const PropertyStructure& Members() const noexcept;
    PropertyStructure& Members() noexcept;

    static const BindingProperty& EmptyNode() noexcept;
    static constexpr size_t MaxCollectionSize = 268435455;

private:
    void EnsureContext() {
        if (!context_) CreateContext();
    }
    void CreateContext();
    // Gives back what a String, Blob, Enum, Collection or Structure holds.
    void ReleaseStorage() noexcept;
    // Builds a deep copy of other in this node, which is Empty.
    void CopyFrom(const BindingProperty& other);
    void CopyLeaf(const BindingProperty& other);
    // A key's text is interned in this tree; a value's as SetString would hold it.
    InternedString* CopyString(InternedString* record, const PropertyContext* from, bool key);
    // Takes over the value of a node of the same context; this node is Empty, the source is left Empty.
    void AdoptFrom(BindingProperty& source) noexcept;
    // Releases a Collection or Structure and everything beneath it without recursion.
    void ReleaseTree() noexcept;
    // Frees a branch whose children are all leaves. Takes the context as an argument: during a release the
    // field may hold the way back up.
    void FreeLeafBranch(PropertyContext* context) noexcept;
    // Appends an Empty element; the Collection has room for it.
    BindingProperty& AppendElement() noexcept;
    // Element and ChildForWrite when they must make room or a container, or (for a key) search.
    BindingProperty& ElementWithGrowth(size_t index);
    BindingProperty& InsertChild(InternedString* record, uint64_t order);
    // Grows by moving the nodes themselves, so children keep their context and subtrees.
    void GrowCollection(size_t capacity);
    // Makes a new member at an entry of a chunk of the Structure, taking over the caller's reference to the key.
    // The position is the key's place in the order.
    BindingProperty& InsertMember(size_t chunk, size_t index, InternedString* record, uint64_t order);
    // Structure storage: the first chunk, with room for this many members; room for a new entry at the position
    // of a full chunk, which moves when the chunk is split or followed by a new one; a chunk with more room; room for
    // one more chunk in the structure's list.
    void ReserveMembers(size_t count);
    void MakeMemberRoom(size_t& chunk, size_t& index);
    void GrowChunk(size_t chunk, uint32_t capacity);
    void AddChunkRoom();
    // A member's storage: a node of the structure's block while there are some left, else a pool block.
    void* NewMemberNode();
    void FreeMemberNode(void* node) noexcept;
    // Release every element of a Collection (member of a Structure) whose children are all leaves, and the
    // container itself.
    void FreeElements(PropertyContext* context) noexcept;
    void FreeMembers(PropertyContext* context) noexcept;

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

// The elements of a Collection in one pooled block: a count, a capacity and the elements themselves. Growing
// moves the elements, as any vector does.
class PropertyCollection {
public:
    size_t size() const noexcept { return size_; }
    size_t capacity() const noexcept { return capacity_; }
    BindingProperty* data() noexcept { return reinterpret_cast<BindingProperty*>(this + 1); }
    const BindingProperty* data() const noexcept { return reinterpret_cast<const BindingProperty*>(this + 1); }
    BindingProperty& operator[](size_t index) noexcept { return data()[index]; }
    const BindingProperty& operator[](size_t index) const noexcept { return data()[index]; }
    BindingProperty* begin() noexcept { return data(); }
    BindingProperty* end() noexcept { return data() + size_; }
    const BindingProperty* begin() const noexcept { return data(); }
    const BindingProperty* end() const noexcept { return data() + size_; }

private:
    friend class BindingProperty;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

inline BindingProperty& BindingProperty::AppendElement() noexcept {
    PropertyCollection& elements = *payload_.collection;
    return *new (elements.data() + elements.size_++) BindingProperty(context_);
}

// Inline for the usual cases: an element that exists, or the next one where there is room for it.
inline BindingProperty& BindingProperty::Element(size_t index) {
    if (kind_ == Kind::Collection) {
        const PropertyCollection& elements = *payload_.collection;
        if (index < elements.size_) return payload_.collection->data()[index];
        if (index == elements.size_ && index < elements.capacity_) return AppendElement();
    }
    return ElementWithGrowth(index);
}

inline const BindingProperty& BindingProperty::At(size_t index) const noexcept {
    if (kind_ != Kind::Collection || index >= payload_.collection->size_) return EmptyNode();
    return payload_.collection->data()[index];
}

inline std::span<BindingProperty> BindingProperty::Elements() noexcept {
    if (kind_ != Kind::Collection) return {};
    return {payload_.collection->data(), payload_.collection->size_};
}

inline std::span<const BindingProperty> BindingProperty::Elements() const noexcept {
    if (kind_ != Kind::Collection) return {};
    return {payload_.collection->data(), payload_.collection->size_};
}

// A child of a Structure and its key: a node of its own in the tree's pool, so it stays where it is while other
// members come and go.
struct PropertyMember {
    PropertyKey first;
    BindingProperty second;
};

// The members of a Structure in ascending byte order of their keys. Entries point at the members, which never move;
// each carries the first eight bytes of its key as a big-endian number, so that most keys are ordered without
// reading their texts. The entries are kept in sorted chunks of at most ChunkLimit, listed in order: a new member
// shifts the entries of one chunk at most, however many members there are. The structure's block never moves; it
// holds the list of a single chunk, that first chunk, and room for the first members of a small structure.
class PropertyStructure {
    struct Entry {
        uint64_t order;
        PropertyMember* member;
    };
    struct Chunk {
        uint32_t size;
        uint32_t capacity;
        Entry* Entries() noexcept { return reinterpret_cast<Entry*>(this + 1); }
        const Entry* Entries() const noexcept { return reinterpret_cast<const Entry*>(this + 1); }
    };

public:
    template <class Member>
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = PropertyMember;
        using difference_type = std::ptrdiff_t;
        using pointer = Member*;
        using reference = Member&;

        Iterator() noexcept = default;
        Iterator(Chunk* const* chunk, Chunk* const* last, size_t index) noexcept
            : chunk_(chunk), last_(last), at_((*chunk)->Entries() + index), end_((*chunk)->Entries() + (*chunk)->size) {}
        Member& operator*() const noexcept { return *at_->member; }
        Member* operator->() const noexcept { return at_->member; }
        Iterator& operator++() noexcept {
            if (++at_ == end_ && chunk_ != last_) {
                ++chunk_;
                at_ = (*chunk_)->Entries();
                end_ = at_ + (*chunk_)->size;
            }
            return *this;
        }
        Iterator operator++(int) noexcept {
            Iterator before = *this;
            ++*this;
            return before;
        }
        bool operator==(const Iterator& other) const noexcept { return at_ == other.at_; }

    private:
        Chunk* const* chunk_ = nullptr;
        Chunk* const* last_ = nullptr;
        const Entry* at_ = nullptr;
        const Entry* end_ = nullptr;
    };
    using value_type = PropertyMember;
    using iterator = Iterator<PropertyMember>;
    using const_iterator = Iterator<const PropertyMember>;

    iterator begin() noexcept { return First<iterator>(); }
    iterator end() noexcept { return Past<iterator>(); }
    const_iterator begin() const noexcept { return First<const_iterator>(); }
    const_iterator end() const noexcept { return Past<const_iterator>(); }
    size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }

private:
    friend class BindingProperty;
    struct Position {
        size_t chunk;
        size_t index;
    };
    // A full chunk fills a 1024-byte block.
    static constexpr uint32_t ChunkLimit = (1024 - sizeof(Chunk)) / sizeof(Entry);
    static size_t ChunkSize(size_t capacity) noexcept { return sizeof(Chunk) + capacity * sizeof(Entry); }
    static size_t FirstChunkSpace(size_t capacity) noexcept {
        return (ChunkSize(capacity) + alignof(PropertyMember) - 1) / alignof(PropertyMember) * alignof(PropertyMember);
    }
    static size_t BlockSize(size_t firstChunk, size_t nodes) noexcept {
        return sizeof(PropertyStructure) + FirstChunkSpace(firstChunk) + nodes * sizeof(PropertyMember);
    }
    size_t BlockSize() const noexcept { return BlockSize(firstChunkCapacity_, nodes_); }
    Chunk* FirstChunk() noexcept { return reinterpret_cast<Chunk*>(this + 1); }
    PropertyMember* Nodes() noexcept {
        return reinterpret_cast<PropertyMember*>(reinterpret_cast<char*>(this + 1) + FirstChunkSpace(firstChunkCapacity_));
    }
    bool OwnsNode(const PropertyMember* member) noexcept { return member >= Nodes() && member < Nodes() + nodes_; }
    static bool Below(const Entry& entry, uint64_t order, std::string_view key) noexcept {
        return entry.order != order ? entry.order < order : TailBelow(entry.member->first.View(), key);
    }
    // The order of two texts whose first eight bytes agree (a shorter text counting as padded with zeros).
    static bool TailBelow(std::string_view a, std::string_view b) noexcept;

    Chunk** Chunks() noexcept { return chunks_; }
    Chunk* const* Chunks() const noexcept { return chunks_; }
    Chunk* const* LastChunk() const noexcept { return chunks_ + chunkCount_ - 1; }
    template <class It>
    It First() const noexcept { return chunkCount_ ? It(chunks_, LastChunk(), 0) : It(); }
    template <class It>
    It Past() const noexcept { return chunkCount_ ? It(LastChunk(), LastChunk(), (*LastChunk())->size) : It(); }
    // The chunk a key (whose order word is given) belongs to, and its first entry whose key is not below the key
    // (or the end of the last chunk).
    size_t ChunkOf(uint64_t order, std::string_view key) const noexcept {
        return chunkCount_ < 2 ? 0 : ChunkAmong(order, key);
    }
    size_t ChunkAmong(uint64_t order, std::string_view key) const noexcept;
    Position LowerBound(uint64_t order, std::string_view key) const noexcept;
    iterator IteratorAt(Position position) noexcept { return iterator(Chunks() + position.chunk, LastChunk(), position.index); }
    const Entry* At(Position position) const noexcept {
        const Chunk* chunk = Chunks()[position.chunk];
        return position.index < chunk->size ? chunk->Entries() + position.index : nullptr;
    }

    size_t size_ = 0;
    uint32_t chunkCount_ = 0;
    uint32_t chunkRoom_ = 0;      // room of the chunk list
    Chunk** chunks_ = nullptr;    // the list: onlyChunk_, or a block of its own once there are several
    Chunk* onlyChunk_ = nullptr;
    uint32_t firstChunkCapacity_ = 0;  // the chunk made with the block, which follows it
    uint32_t nodes_ = 0;               // member nodes in the block, after that chunk
    uint32_t nodesUsed_ = 0;
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
