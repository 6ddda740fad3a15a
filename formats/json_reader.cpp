#include "formats/json_reader.h"

#include <rapidjson/allocators.h>
#include <rapidjson/reader.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "platform/allocation.h"
#include "platform/format.h"

namespace Zarvo {
namespace {

// Arrays and objects may nest this deep; the handler keeps each open one in a fixed array, so deeper input is
// refused.
constexpr size_t kMaxJsonDepth = 512;

// Room for the reader's stack (strings being read, and a few bytes per open array or object) before it needs the
// heap.
constexpr size_t kReaderStackBuffer = 1024;

// Objects opened at the first levels are given room for as many members as the last object closed at the same level
// had: the records of an array mostly share one shape.
constexpr size_t kGuessedLevels = 8;

// The reader's stack takes the heap in pieces of at least this size.
constexpr size_t kReaderHeapChunk = 64 * 1024;

// Texts are copied piece by piece into a buffer of this size on the stack, never whole.
constexpr size_t kPieceSize = 1024;

// RapidJSON reads fastest from a NUL-terminated text: the view is copied into a buffer one piece at a time, each
// piece followed by a NUL, and a NUL read at a piece's end brings in the next piece. A NUL inside the view, or its
// end, ends the text alike.
class PieceStream {
public:
    using Ch = char;

    explicit PieceStream(std::string_view text) noexcept : next_(text.data()), end_(text.data() + text.size()) {
        Fill();
    }
    PieceStream(const PieceStream&) = delete;
    PieceStream& operator=(const PieceStream&) = delete;

    Ch Peek() noexcept {
        const Ch c = *current_;
        if (c == '\0') [[unlikely]] return PeekAfterPiece();
        return c;
    }
    Ch Take() noexcept {
        const Ch c = Peek();
        if (c != '\0') ++current_;
        return c;
    }
    size_t Tell() const noexcept { return before_ + static_cast<size_t>(current_ - piece_); }

    // The reader never writes to its input stream.
    Ch* PutBegin() { return nullptr; }
    void Put(Ch) {}
    void Flush() {}
    size_t PutEnd(Ch*) { return 0; }

private:
    void Fill() noexcept {
        const size_t size = std::min<size_t>(kPieceSize, static_cast<size_t>(end_ - next_));
        std::memcpy(piece_, next_, size);
        piece_[size] = '\0';
        next_ += size;
        pieceEnd_ = piece_ + size;
        current_ = piece_;
    }

    // The NUL after a piece with more text to come stands for the next piece's first byte.
    Ch PeekAfterPiece() noexcept {
        if (current_ != pieceEnd_ || next_ == end_) return '\0';
        before_ += static_cast<size_t>(pieceEnd_ - piece_);
        Fill();
        return *current_;
    }

    const char* next_;
    const char* end_;
    char* current_ = nullptr;
    char* pieceEnd_ = nullptr;
    size_t before_ = 0;  // the bytes of the pieces before this one
    char piece_[kPieceSize + 1];
};

// The heap beneath the reader's stack, once its buffer is full: the runtime's counted allocation. The pool only
// takes pieces from it and gives them back.
class CountedReaderHeap {
public:
    void* Malloc(size_t size) { return size == 0 ? nullptr : Allocate(size); }
    static void Free(void* block) { Release(block); }
};

// Strings up to this length are looked over a byte at a time for a NUL, longer ones at once.
constexpr rapidjson::SizeType kByteScanLength = 64;

// The reader's strings hold a NUL before their end only when it came from a \\u0000 escape: they end at their first
// NUL or at their length. They were just written a byte at a time, so a short one is looked over a byte at a time
// too: a wide read of bytes still on their way to memory waits for all of them.
std::string_view UpToNul(const char* text, rapidjson::SizeType length) {
    if (length >= kByteScanLength) {
        const void* nul = std::memchr(text, '\0', length);
        return {text, nul ? static_cast<size_t>(static_cast<const char*>(nul) - text) : length};
    }
    rapidjson::SizeType size = 0;
    while (size < length && text[size] != '\0') ++size;
    return {text, size};
}

// Builds the tree from the reader's callbacks. Repeated keys address the same member again, so repeated arrays
// and objects merge and a later scalar replaces an earlier one; null never clears a value.
class JsonPropertyHandler : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, JsonPropertyHandler> {
public:
    explicit JsonPropertyHandler(BindingProperty& root) : target_(&root) {}

    bool Null() {
        NextValue();
        return true;
    }
    bool Bool(bool value) { return Set(&BindingProperty::SetBool, value); }
    bool Int(int value) { return Set(&BindingProperty::SetSigned, value); }
    bool Uint(unsigned value) { return Set(&BindingProperty::SetUnsigned, value); }
    bool Int64(int64_t value) { return Set(&BindingProperty::SetSigned, value); }
    bool Uint64(uint64_t value) { return Set(&BindingProperty::SetUnsigned, value); }
    bool Double(double value) { return Set(&BindingProperty::SetDouble, value); }
    bool String(const char* text, rapidjson::SizeType length, bool) {
        NextValue().SetString(UpToNul(text, length));
        return true;
    }
    bool StartObject() { return Open(&BindingProperty::MakeStructure); }
    bool Key(const char* text, rapidjson::SizeType length, bool) {
        target_ = &levels_[depth_ - 1].container->ChildForWrite(UpToNul(text, length));
        return true;
    }
    bool EndObject(rapidjson::SizeType) { return Close(); }
    bool StartArray() { return Open(&BindingProperty::MakeCollection); }
    bool EndArray(rapidjson::SizeType) { return Close(); }

    bool TooDeep() const { return tooDeep_; }

private:
    // An open array or object; an array also counts its elements, which follow any it already had.
    struct Level {
        BindingProperty* container;
        uint32_t nextElement;
        bool array;
    };

    // Inside an array every value is a new element; elsewhere it goes where the last key (or the root) points.
    BindingProperty& NextValue() {
        if (depth_ != 0 && levels_[depth_ - 1].array) {
            Level& level = levels_[depth_ - 1];
            target_ = &level.container->Element(level.nextElement++);
        }
        return *target_;
    }

    template <class Setter, class Value>
    bool Set(Setter setter, Value value) {
        (NextValue().*setter)(value);
        return true;
    }

    bool Open(void (BindingProperty::*make)()) {
        if (depth_ == kMaxJsonDepth) {
            tooDeep_ = true;
            return false;
        }
        (NextValue().*make)();
        bool array = target_->GetKind() == BindingProperty::Kind::Collection;
        if (!array && depth_ < kGuessedLevels && target_->Size() == 0) target_->Reserve(memberGuesses_[depth_]);
        levels_[depth_++] = {target_, static_cast<uint32_t>(array ? target_->Size() : 0), array};
        return true;
    }

    bool Close() {
        const Level& level = levels_[--depth_];
        if (!level.array && depth_ < kGuessedLevels) memberGuesses_[depth_] = level.container->Size();
        return true;
    }

    BindingProperty* target_;
    // The open arrays and objects, innermost last; a fixed array, as their depth is bounded.
    Level levels_[kMaxJsonDepth];
    size_t depth_ = 0;
    bool tooDeep_ = false;
    size_t memberGuesses_[kGuessedLevels] = {};
};

const char* ErrorText(rapidjson::ParseErrorCode code) {
    static const char* const texts[] = {
        "No error.",
        "The document is empty.",
        "The document root must not follow by other values.",
        "Invalid value.",
        "Missing a name for object member.",
        "Missing a colon after a name of object member.",
        "Missing a comma or '}' after an object member.",
        "Missing a comma or ']' after an array element.",
        "Incorrect hex digit after \\u escape in string.",
        "The surrogate pair in string is invalid.",
        "Invalid escape character in string.",
        "Missing a closing quotation mark in string.",
        "Invalid encoding in string.",
        "Number too big to be stored in double.",
        "Miss fraction part in number.",
        "Miss exponent in number.",
        "Terminate parsing due to Handler error.",
        "Unspecific syntax error.",
    };
    auto index = static_cast<size_t>(code);
    return index < std::size(texts) ? texts[index] : "Unknown error.";
}

}  // namespace

BindingResult ParseJson(std::string_view text) {
    BindingResult result;
    JsonPropertyHandler handler(result.value);
    PieceStream stream(text);
    // The reader's stack (strings being read, and the nesting) starts in a buffer here: a small text allocates
    // nothing for it.
    alignas(std::max_align_t) char stackBuffer[kReaderStackBuffer];
    CountedReaderHeap heap;
    using StackAllocator = rapidjson::MemoryPoolAllocator<CountedReaderHeap>;
    StackAllocator stackAllocator(stackBuffer, sizeof stackBuffer, kReaderHeapChunk, &heap);
    rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, StackAllocator> reader(&stackAllocator);
    // The iterative parse keeps the nesting on the reader's stack, not the thread's: the core's threads may be small.
    rapidjson::ParseResult parsed = reader.Parse<rapidjson::kParseIterativeFlag>(stream, handler);
    auto offset = static_cast<uint32_t>(parsed.Offset());
    rapidjson::ParseErrorCode code = parsed.Code();
    if (code == rapidjson::kParseErrorDocumentEmpty && stream.Peek() != '\0') {
        // A text that starts with "]", "}", "," or ":" is no empty document but an invalid value there.
        code = rapidjson::kParseErrorValueInvalid;
    }
    if (parsed || code == rapidjson::kParseErrorDocumentEmpty) {
        if (!parsed) result.value.Clear();
        return result;
    }
    // A refused level is reported past its "[" or "{".
    result.SetError(handler.TooDeep()
                        ? FormatString("Error: Arrays and objects nest deeper than %1 levels at offset %2.",
                                       static_cast<uint32_t>(kMaxJsonDepth), offset + 1)
                        : FormatString("Error: %s at offset %u.", ErrorText(code), offset));
    return result;
}

}  // namespace Zarvo
