#include "formats/json_reader.h"

#include <rapidjson/reader.h>

#include <cstring>
#include <vector>

#include "platform/format.h"

namespace Zarvo {
namespace {

// Arrays and objects may nest this deep; the reader recurses once per level, so deeper input is refused.
constexpr size_t kMaxJsonDepth = 512;

// A RapidJSON input stream over a view; it reads NUL past the end, which ends the text like an embedded NUL.
class ViewStream {
public:
    using Ch = char;
    explicit ViewStream(std::string_view text) : begin_(text.data()), current_(begin_), end_(begin_ + text.size()) {}
    Ch Peek() const { return current_ < end_ ? *current_ : '\0'; }
    Ch Take() { return current_ < end_ ? *current_++ : '\0'; }
    size_t Tell() const { return static_cast<size_t>(current_ - begin_); }
    Ch* PutBegin() { return nullptr; }
    void Put(Ch) {}
    void Flush() {}
    size_t PutEnd(Ch*) { return 0; }

private:
    const char* begin_;
    const char* current_;
    const char* end_;
};

std::string_view UpToNul(const char* text, rapidjson::SizeType length) {
    return {text, strnlen(text, length)};
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
        target_ = &containers_.back()->ChildForWrite(UpToNul(text, length));
        return true;
    }
    bool EndObject(rapidjson::SizeType) { return Close(); }
    bool StartArray() { return Open(&BindingProperty::MakeCollection); }
    bool EndArray(rapidjson::SizeType) { return Close(); }

    bool TooDeep() const { return tooDeep_; }

private:
    // Inside an array every value is a new element; elsewhere it goes where the last key (or the root) points.
    BindingProperty& NextValue() {
        if (!containers_.empty() && containers_.back()->GetKind() == BindingProperty::Kind::Collection) {
            BindingProperty& collection = *containers_.back();
            target_ = &collection.Element(collection.Size());
        }
        return *target_;
    }

    template <class Setter, class Value>
    bool Set(Setter setter, Value value) {
        (NextValue().*setter)(value);
        return true;
    }

    bool Open(void (BindingProperty::*make)()) {
        if (containers_.size() == kMaxJsonDepth) {
            tooDeep_ = true;
            return false;
        }
        (NextValue().*make)();
        containers_.push_back(target_);
        return true;
    }

    bool Close() {
        containers_.pop_back();
        return true;
    }

    BindingProperty* target_;
    std::vector<BindingProperty*> containers_;
    bool tooDeep_ = false;
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
    ViewStream stream(text);
    rapidjson::Reader reader;
    rapidjson::ParseResult parsed = reader.Parse(stream, handler);
    if (parsed || parsed.Code() == rapidjson::kParseErrorDocumentEmpty) {
        if (!parsed) result.value.Clear();
        return result;
    }
    auto offset = static_cast<uint32_t>(parsed.Offset());
    result.SetError(handler.TooDeep()
                        ? FormatString("Error: Arrays and objects nest deeper than %1 levels at offset %2.",
                                       static_cast<uint32_t>(kMaxJsonDepth), offset)
                        : FormatString("Error: %s at offset %u.", ErrorText(parsed.Code()), offset));
    return result;
}

}  // namespace Zarvo
