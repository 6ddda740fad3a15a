// A core value tree read from the fuzz bytes goes through FromPluginValue and back through ToPluginValue and
// WritePluginValueBlock: the conversion fails exactly when the tree holds an unknown kind, what it keeps comes back
// unchanged both ways (a text up to its first NUL or its length word), and clearing each copy releases every block it
// was made with (the block's copy has one at most). Each text lies
// in a heap block of its own that ends at its length word when the word is within the text, so a read past the
// word is an error under the address sanitizer.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "formats/plugin_value.h"
#include "formats/plugin_value_block.h"
#include "platform/allocation.h"

namespace {

using namespace Zarvo;

constexpr size_t kMaxNodes = 4096;
constexpr unsigned kMaxDepth = 64;

// Names the broken expectation before stopping, so that a crash report says what went wrong.
#define REQUIRE(condition)                                                           \
    do {                                                                             \
        if (!(condition)) {                                                          \
            std::fprintf(stderr, "plugin_value_fuzz.cpp:%d: %s\n", __LINE__, #condition); \
            std::abort();                                                            \
        }                                                                            \
    } while (false)

// Reads records from the bytes, one head byte per record: the low nibble is the kind (11-15 choose containers or
// a string, or an unknown kind when the top bit is set), bits 4-6 all set give a container or text a null data
// pointer. A text takes a length byte, a byte choosing its length word and that many bytes, NULs included; the word
// is 0, the text's length, a length within the text, or one beyond it (up to 0xFFFFFFFF), and where the word does
// not end within the text a NUL follows it, as the core would have to put it. Keys are borrowed from a copy of the
// input, the byte after each becoming its terminating NUL, as are byte arrays. Bytes past the end read as 0.
class TreeReader {
public:
    TreeReader(const uint8_t* data, size_t size) : bytes_(data, data + size) { bytes_.push_back(0); }

    PluginValue Read() {
        PluginValue root;
        std::memset(&root, 0, sizeof root);
        Read(root, 0);
        return root;
    }
    bool HasUnknownKind() const { return unknownKind_; }

private:
    size_t Remaining() const { return bytes_.size() - 1 - position_; }
    uint8_t Byte() { return Remaining() ? bytes_[position_++] : 0; }
    uint64_t Word() {
        uint64_t value = 0;
        for (int i = 0; i < 8; ++i) value = value << 8 | Byte();
        return value;
    }
    const char* Text(size_t length) {
        length = std::min(length, Remaining());
        auto* text = reinterpret_cast<const char*>(&bytes_[position_]);
        position_ += length;
        bytes_[position_] = 0;
        if (Remaining()) ++position_;
        return text;
    }

    static uint32_t LengthWord(uint8_t choice, uint32_t length) {
        const uint32_t high = choice >> 2;
        switch (choice & 3) {
            case 0: return 0;
            case 1: return length;
            case 2: return high % (length + 1);
            default: return high == 63 ? UINT32_MAX : length + 1 + high;
        }
    }

    static uint32_t KindOf(uint8_t head) {
        static const uint32_t extraKinds[] = {PluginValueArray, PluginValueObject, PluginValueArray,
                                              PluginValueObject, PluginValueBorrowedString};
        uint32_t kind = head & 0x0F;
        if (kind <= PluginValueObject) return kind;
        if (!(head & 0x80)) return extraKinds[kind - 11];
        return (head & 0x70) == 0x70 ? UINT32_MAX : 11 + (head >> 4 & 7);
    }

    void Read(PluginValue& value, unsigned depth) {
        uint8_t head = Byte();
        uint32_t kind = KindOf(head);
        bool container = kind == PluginValueArray || kind == PluginValueObject;
        if (++nodes_ > kMaxNodes || (container && depth == kMaxDepth)) kind = PluginValueNull;
        bool nullData = (head & 0x70) == 0x70;
        value.kind = kind;
        switch (kind) {
            case PluginValueNull: break;
            case PluginValueBool: value.payload.boolean = Byte(); break;
            case PluginValueSigned:
            case PluginValueUnsigned:
            case PluginValueFloat: value.payload.u64 = Word(); break;
            case PluginValueBorrowedString:
            case PluginValueOwnedString: {
                size_t length = Byte();
                uint8_t choice = Byte();
                length = std::min(length, Remaining());
                uint32_t word = LengthWord(choice, static_cast<uint32_t>(length));
                bool terminated = word == 0 || word > length;
                auto& text = texts_.emplace_back(std::make_unique<char[]>(length + terminated));
                std::memcpy(text.get(), &bytes_[position_], length);
                if (terminated) text[length] = '\0';
                position_ += length;
                value.payload.span = {nullData ? nullptr : text.get(), word};
                break;
            }
            case PluginValueBorrowedBytes:
            case PluginValueOwnedBytes: {
                size_t length = std::min<size_t>(Byte(), Remaining());
                value.payload.span = {nullData ? nullptr : &bytes_[position_], static_cast<uint32_t>(length)};
                position_ += length;
                break;
            }
            case PluginValueArray: {
                uint32_t count = std::min<size_t>(Byte(), kMaxNodes - std::min(nodes_, kMaxNodes));
                if (nullData) {
                    value.payload.span = {nullptr, count};
                    break;
                }
                auto& records = arrays_.emplace_back(count);
                for (PluginValue& record : records) Read(record, depth + 1);
                value.payload.span = {records.data(), count};
                break;
            }
            case PluginValueObject: {
                uint32_t count = std::min<size_t>(Byte(), kMaxNodes - std::min(nodes_, kMaxNodes));
                if (nullData) {
                    value.payload.span = {nullptr, count};
                    break;
                }
                auto& entries = objects_.emplace_back(count);
                for (PluginValueEntry& entry : entries) {
                    uint8_t length = Byte();
                    entry.key = length == 0xFF ? nullptr : Text(length);
                    entry.ownsKey = Byte();
                    Read(entry.value, depth + 1);
                }
                value.payload.span = {entries.data(), count};
                break;
            }
            default:
                unknownKind_ = true;
                value.payload.u64 = Word();
                break;
        }
    }

    std::vector<uint8_t> bytes_;
    size_t position_ = 0;
    size_t nodes_ = 0;
    bool unknownKind_ = false;
    std::vector<std::unique_ptr<char[]>> texts_;
    std::deque<std::vector<PluginValue>> arrays_;
    std::deque<std::vector<PluginValueEntry>> objects_;
};

std::string_view TextOf(const PluginValue& value) {
    const auto& span = value.payload.span;
    return span.data ? std::string_view(static_cast<const char*>(span.data), span.count) : std::string_view();
}

uint32_t CountOf(const PluginValue& value) { return value.payload.span.data ? value.payload.span.count : 0; }

enum class Shape { Scalar, Array, Object };

Shape ShapeOf(uint32_t kind) {
    return kind == PluginValueArray ? Shape::Array : kind == PluginValueObject ? Shape::Object : Shape::Scalar;
}

// Compares the record given to FromPluginValue with the one ToPluginValue made from the property.
void Compare(const PluginValue& in, const PluginValue& out) {
    switch (in.kind) {
        case PluginValueNull: REQUIRE(out.kind == PluginValueNull); return;
        case PluginValueBool:
            REQUIRE(out.kind == PluginValueBool && out.payload.boolean == (in.payload.boolean != 0));
            return;
        case PluginValueSigned:
        case PluginValueUnsigned:
        case PluginValueFloat:
            REQUIRE(out.kind == in.kind && out.payload.u64 == in.payload.u64);
            return;
        case PluginValueBorrowedString:
        case PluginValueOwnedString: {
            // The text ends at its first NUL or at its length word; a word of 0 leaves the NUL alone.
            auto* text = static_cast<const char*>(in.payload.span.data);
            uint32_t word = in.payload.span.count;
            std::string_view expected;
            if (text) expected = {text, word == 0 ? std::strlen(text) : strnlen(text, word)};
            REQUIRE(out.kind == PluginValueOwnedString && TextOf(out) == expected);
            REQUIRE(static_cast<const char*>(out.payload.span.data)[expected.size()] == '\0');
            return;
        }
        case PluginValueBorrowedBytes:
        case PluginValueOwnedBytes: {
            uint32_t count = CountOf(in);
            REQUIRE(out.kind == PluginValueOwnedBytes && out.payload.span.count == count);
            REQUIRE(count == 0 || std::memcmp(in.payload.span.data, out.payload.span.data, count) == 0);
            return;
        }
        case PluginValueArray: {
            uint32_t count = CountOf(in);
            REQUIRE(out.kind == PluginValueArray && out.payload.span.count == count);
            for (uint32_t i = 0; i < count; ++i)
                Compare(static_cast<const PluginValue*>(in.payload.span.data)[i],
                        static_cast<const PluginValue*>(out.payload.span.data)[i]);
            return;
        }
        case PluginValueObject: {
            // A repeated key addresses the same member again: the last entry decides, and it comes back whole
            // unless it merged into an array or object of an entry before it.
            struct Member {
                const PluginValue* last = nullptr;
                bool merged = false;
            };
            std::map<std::string, Member> members;
            auto* entries = static_cast<const PluginValueEntry*>(in.payload.span.data);
            for (uint32_t i = 0; i < CountOf(in); ++i) {
                Member& member = members[entries[i].key ? entries[i].key : ""];
                Shape shape = ShapeOf(entries[i].value.kind);
                member.merged = member.last && shape != Shape::Scalar && shape == ShapeOf(member.last->kind);
                member.last = &entries[i].value;
            }
            REQUIRE(out.kind == PluginValueObject && out.payload.span.count == members.size());
            auto* written = static_cast<const PluginValueEntry*>(out.payload.span.data);
            for (const auto& [key, member] : members) {
                REQUIRE(written->ownsKey == 1 && key == written->key);
                if (member.merged) REQUIRE(written->value.kind == member.last->kind);
                else Compare(*member.last, written->value);
                ++written;
            }
            return;
        }
        default: std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TreeReader reader(data, size);
    PluginValue input = reader.Read();
    BindingProperty property;
    std::string error;
    bool converted = FromPluginValue(error, property, input, "fuzz");
    REQUIRE(converted != reader.HasUnknownKind());
    REQUIRE(converted == error.empty());

    const AllocationStatistics& statistics = ProcessAllocationStatistics();
    uint64_t allocations = statistics.allocations, releases = statistics.releases;
    PluginValue output;
    std::memset(&output, 0, sizeof output);
    REQUIRE(ToPluginValue(output, property, nullptr));
    if (converted) Compare(input, output);
    ClearPluginValue(output);
    REQUIRE(output.kind == PluginValueNull && output.payload.u64 == 0);
    REQUIRE(statistics.allocations - allocations == statistics.releases - releases);

    // The same tree written into one block reads the same, from one allocation at most, which its release frees.
    allocations = statistics.allocations;
    releases = statistics.releases;
    PluginValue block;
    std::memset(&block, 0, sizeof block);
    WritePluginValueBlock(block, property, nullptr);
    REQUIRE(statistics.allocations - allocations <= 1);
    if (converted) Compare(input, block);
    ReleasePluginValueBlock(block);
    REQUIRE(block.kind == PluginValueNull && block.payload.u64 == 0);
    REQUIRE(statistics.allocations - allocations == statistics.releases - releases);
    return 0;
}
