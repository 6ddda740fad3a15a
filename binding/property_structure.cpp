// Structures: members in the byte order of their keys, found through chunks of sorted entries.
#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "binding/property.h"
#include "binding/property_context.h"

namespace Zarvo {
namespace {

// Room for this many members is made on a Structure's first one.
constexpr uint32_t FirstChunkCapacity = 4;

// Every Structure starts as this one, which has no chunk: it is shared and never written.
PropertyStructure& EmptyStructure() noexcept {
    static PropertyStructure none;
    return none;
}

// The order word of a text that is not interned, as InternedString::Prefix gives it for one that is.
uint64_t KeyPrefix(std::string_view key) noexcept {
    uint64_t word = 0;
    if (key.size() >= 8) {
        std::memcpy(&word, key.data(), sizeof word);
        if constexpr (std::endian::native == std::endian::little) word = ByteSwap64(word);
        return word;
    }
    for (size_t i = 0; i < key.size(); ++i) word |= uint64_t{static_cast<unsigned char>(key[i])} << (56 - 8 * i);
    return word;
}

}  // namespace

// A text of eight bytes or fewer is then a prefix of the other; texts of one length up to 16 bytes differ only in
// their last eight, read as one number.
bool PropertyStructure::TailBelow(std::string_view a, std::string_view b) noexcept {
    if (a.size() <= 8 || b.size() <= 8) return a.size() < b.size();
    if (a.size() == b.size() && a.size() <= 16) {
        uint64_t x, y;
        std::memcpy(&x, a.data() + a.size() - 8, sizeof x);
        std::memcpy(&y, b.data() + b.size() - 8, sizeof y);
        if constexpr (std::endian::native == std::endian::little) return ByteSwap64(x) < ByteSwap64(y);
        return x < y;
    }
    return a.substr(8) < b.substr(8);
}

// The last of several chunks whose first key is below the key, or the first chunk.
size_t PropertyStructure::ChunkAmong(uint64_t order, std::string_view key) const noexcept {
    Chunk* const* chunks = Chunks();
    size_t below = 0;
    for (size_t count = chunkCount_; count > 0;) {
        size_t half = count / 2;
        if (Below(chunks[below + half]->Entries()[0], order, key)) {
            below += half + 1;
            count -= half + 1;
        } else {
            count = half;
        }
    }
    return below ? below - 1 : 0;
}

// The entry is in the chunk the key belongs to, or at the start of the one after it.
PropertyStructure::Position PropertyStructure::LowerBound(uint64_t order, std::string_view key) const noexcept {
    Chunk* const* chunks = Chunks();
    size_t chunk = ChunkOf(order, key);
    const Entry* entries = chunks[chunk]->Entries();
    size_t index = 0;
    for (size_t count = chunks[chunk]->size; count > 0;) {
        size_t half = count / 2;
        if (Below(entries[index + half], order, key)) {
            index += half + 1;
            count -= half + 1;
        } else {
            count = half;
        }
    }
    if (index == chunks[chunk]->size && chunk + 1 < chunkCount_) return {chunk + 1, 0};
    return {chunk, index};
}

void BindingProperty::MakeStructure() {
    if (kind_ == Kind::Structure) return;
    Clear();
    EnsureContext();
    payload_.structure = &EmptyStructure();
    kind_ = Kind::Structure;
}

// Within its chunk the key is looked for from the start: entries whose keys share its first eight bytes follow
// one another. A key past the chunk's last one may open the next chunk.
const BindingProperty& BindingProperty::Child(std::string_view key) const noexcept {
    if (kind_ != Kind::Structure || payload_.structure->chunkCount_ == 0) return EmptyNode();
    const PropertyStructure& members = *payload_.structure;
    uint64_t order = KeyPrefix(key);
    size_t chunk = members.ChunkOf(order, key);
    const auto* entry = members.Chunks()[chunk]->Entries();
    const auto* end = entry + members.Chunks()[chunk]->size;
    while (entry != end && entry->order < order) ++entry;
    if (entry == end && chunk + 1 < members.chunkCount_) {
        entry = members.Chunks()[chunk + 1]->Entries();
        end = entry + 1;
    }
    for (; entry != end && entry->order == order; ++entry) {
        if (entry->member->first.Record()->Is(key)) return entry->member->second;
    }
    return EmptyNode();
}

// The key's record comes first, guessed from the structure built before or interned: the key may point into the
// value this node is about to release, and the key of a member found is then recognised by its record. Keys mostly
// arrive in ascending order, or a few places before the end: while the last chunk has room, the key's place is
// found from its end, and a key whose order word is above the one before is new.
BindingProperty& BindingProperty::ChildForWrite(std::string_view key) {
    EnsureContext();
    size_t position = kind_ == Kind::Structure ? payload_.structure->size_ : 0;
    InternedString* record = context_->Strings().InternKey(position, key);
    uint64_t order = record->Prefix();
    if (kind_ == Kind::Structure && payload_.structure->chunkCount_ != 0) {
        PropertyStructure& members = *payload_.structure;
        PropertyStructure::Chunk* last = members.Chunks()[members.chunkCount_ - 1];
        auto* entries = last->Entries();
        size_t index = last->size;
        while (index > 0 && entries[index - 1].order > order) --index;
        bool placed = index > 0 ? entries[index - 1].order < order : members.chunkCount_ == 1;
        if (placed && last->size < last->capacity) {
            void* node;
            try {
                node = NewMemberNode();
            } catch (...) {
                context_->Strings().Release(record);
                throw;
            }
            auto* member = new (node) PropertyMember{PropertyKey(record), BindingProperty(context_)};
            for (size_t i = last->size; i > index; --i) entries[i] = entries[i - 1];
            entries[index] = {order, member};
            ++last->size;
            ++members.size_;
            return member->second;
        }
    }
    return InsertChild(record, order);
}

BindingProperty& BindingProperty::InsertChild(InternedString* record, uint64_t order) {
    MakeStructure();
    const PropertyStructure& members = *payload_.structure;
    if (members.chunkCount_ == 0) return InsertMember(0, 0, record, order);
    PropertyStructure::Position position = members.LowerBound(order, record->Text());
    const auto* entry = members.At(position);
    if (entry && entry->member->first.Record() == record) {
        --record->refCount;  // the member holds it as well
        return entry->member->second;
    }
    return InsertMember(position.chunk, position.index, record, order);
}

// A new structure gets its block first, so that its first members take nodes from it.
BindingProperty& BindingProperty::InsertMember(size_t chunk, size_t index, InternedString* record, uint64_t order) {
    void* node;
    try {
        if (payload_.structure->chunkCount_ == 0) ReserveMembers(FirstChunkCapacity);
        node = NewMemberNode();
        try {
            const auto* target = payload_.structure->Chunks()[chunk];
            if (target->size == target->capacity) MakeMemberRoom(chunk, index);
        } catch (...) {
            FreeMemberNode(node);
            throw;
        }
    } catch (...) {
        context_->Strings().Release(record);
        throw;
    }
    auto* member = new (node) PropertyMember{PropertyKey(record), BindingProperty(context_)};
    PropertyStructure& members = *payload_.structure;
    auto* target = members.Chunks()[chunk];
    auto* entries = target->Entries();
    for (size_t i = target->size; i > index; --i) entries[i] = entries[i - 1];
    entries[index] = {order, member};
    ++target->size;
    ++members.size_;
    return member->second;
}

void* BindingProperty::NewMemberNode() {
    PropertyStructure& members = *payload_.structure;
    if (members.nodesUsed_ < members.nodes_) return members.Nodes() + members.nodesUsed_++;
    return context_->Structures().Allocate(sizeof(PropertyMember));
}

void BindingProperty::FreeMemberNode(void* node) noexcept {
    PropertyStructure& members = *payload_.structure;
    if (members.nodesUsed_ != 0 && node == members.Nodes() + members.nodesUsed_ - 1) --members.nodesUsed_;
    else context_->Structures().Release(node, sizeof(PropertyMember));
}

// Keys that come in order fill one chunk after another; a key between others splits its full chunk in two.
void BindingProperty::MakeMemberRoom(size_t& chunk, size_t& index) {
    using Chunk = PropertyStructure::Chunk;
    constexpr uint32_t limit = PropertyStructure::ChunkLimit;
    const Chunk* target = payload_.structure->Chunks()[chunk];
    if (target->capacity < limit) return GrowChunk(chunk, std::min(target->capacity * 2, limit));
    if (payload_.structure->chunkCount_ == payload_.structure->chunkRoom_) AddChunkRoom();
    void* block = context_->Structures().Allocate(PropertyStructure::ChunkSize(limit));
    PropertyStructure& members = *payload_.structure;
    Chunk* full = members.Chunks()[chunk];
    bool after = chunk + 1 == members.chunkCount_ && index == full->size;
    uint32_t kept = after ? full->size : full->size / 2;
    auto* added = new (block) Chunk{full->size - kept, limit};
    std::copy(full->Entries() + kept, full->Entries() + full->size, added->Entries());
    full->size = kept;
    Chunk** chunks = members.Chunks();
    for (size_t i = members.chunkCount_; i > chunk + 1; --i) chunks[i] = chunks[i - 1];
    chunks[chunk + 1] = added;
    ++members.chunkCount_;
    if (after || index > kept) {
        ++chunk;
        index -= kept;
    }
}

// The structure's block, with its first chunk and, for a count that fits one chunk, a node for every member.
void BindingProperty::ReserveMembers(size_t count) {
    if (count == 0) return;
    PropertyStructure& members = *payload_.structure;
    auto capacity = static_cast<uint32_t>(std::min<size_t>(count, PropertyStructure::ChunkLimit));
    if (members.chunkCount_ == 1 && members.Chunks()[0]->capacity < capacity) return GrowChunk(0, capacity);
    if (members.chunkCount_ != 0) return;
    uint32_t nodes = count <= PropertyStructure::ChunkLimit ? capacity : 0;
    auto* block = new (context_->Structures().Allocate(PropertyStructure::BlockSize(capacity, nodes))) PropertyStructure();
    block->chunkCount_ = 1;
    block->chunkRoom_ = 1;
    block->onlyChunk_ = new (block->FirstChunk()) PropertyStructure::Chunk{0, capacity};
    block->chunks_ = &block->onlyChunk_;
    block->firstChunkCapacity_ = capacity;
    block->nodes_ = nodes;
    payload_.structure = block;
}

void BindingProperty::GrowChunk(size_t chunk, uint32_t capacity) {
    PropertyStructure& members = *payload_.structure;
    SmallBlockPool& pool = context_->Structures();
    auto* old = members.Chunks()[chunk];
    auto* grown = new (pool.Allocate(PropertyStructure::ChunkSize(capacity))) PropertyStructure::Chunk{old->size, capacity};
    std::copy_n(old->Entries(), old->size, grown->Entries());
    if (old != members.FirstChunk()) pool.Release(old, PropertyStructure::ChunkSize(old->capacity));
    members.Chunks()[chunk] = grown;
}

void BindingProperty::AddChunkRoom() {
    PropertyStructure& members = *payload_.structure;
    SmallBlockPool& pool = context_->Structures();
    size_t room = members.chunkRoom_ * 2;
    auto** list = static_cast<PropertyStructure::Chunk**>(pool.Allocate(room * sizeof(PropertyStructure::Chunk*)));
    std::copy_n(members.chunks_, members.chunkCount_, list);
    if (members.chunks_ != &members.onlyChunk_) pool.Release(members.chunks_, members.chunkRoom_ * sizeof(list[0]));
    members.chunks_ = list;
    members.chunkRoom_ = static_cast<uint32_t>(room);
}

void BindingProperty::FreeMembers(PropertyContext* context) noexcept {
    PropertyStructure& members = *payload_.structure;
    if (!members.chunks_) return;  // the shared empty structure
    SmallBlockPool& pool = context->Structures();
    InternTable& strings = context->Strings();
    for (size_t chunk = 0; chunk < members.chunkCount_; ++chunk) {
        auto* entries = members.Chunks()[chunk];
        for (const auto& entry : std::span(entries->Entries(), entries->size)) {
            strings.Release(entry.member->first.Record());
            entry.member->second.Clear();
            if (!members.OwnsNode(entry.member)) pool.Release(entry.member, sizeof(PropertyMember));
        }
        if (entries != members.FirstChunk()) pool.Release(entries, PropertyStructure::ChunkSize(entries->capacity));
    }
    if (members.chunks_ != &members.onlyChunk_) {
        pool.Release(members.chunks_, members.chunkRoom_ * sizeof(PropertyStructure::Chunk*));
    }
    pool.Release(&members, members.BlockSize());
}

// The member's value moves to a node of the same context outside the structure, which then goes whole.
void BindingProperty::ReplaceWithMember(std::string_view key) noexcept {
    const BindingProperty& found = Child(key);
    if (&found == &EmptyNode()) return Clear();
    BindingProperty kept(context_);
    kept.AdoptFrom(const_cast<BindingProperty&>(found));
    Clear();
    AdoptFrom(kept);
}

const PropertyStructure& BindingProperty::Members() const noexcept {
    return kind_ == Kind::Structure ? *payload_.structure : EmptyStructure();
}

// For other kinds, the shared empty structure: iterate it, never insert into it.
PropertyStructure& BindingProperty::Members() noexcept {
    return kind_ == Kind::Structure ? *payload_.structure : EmptyStructure();
}

}  // namespace Zarvo
