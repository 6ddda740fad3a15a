// The property-to-native rules of bool, the integers, float, double, string, object and blob, and the string rules
// behind them.
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "binding/conversion.h"
#include "binding/conversion_messages.h"
#include "platform/base64.h"
#include "platform/format.h"

namespace Zarvo {

namespace {

using Kind = BindingProperty::Kind;
namespace Message = ConversionMessage;

// The C parsers need a terminated text; short ones are copied to the stack.
class TerminatedText {
public:
    explicit TerminatedText(std::string_view text) {
        if (text.size() < sizeof(local_)) {
            std::memcpy(local_, text.data(), text.size());
            local_[text.size()] = '\0';
            text_ = local_;
        } else {
            heap_.assign(text);
            text_ = heap_.c_str();
        }
    }
    TerminatedText(const TerminatedText&) = delete;
    TerminatedText& operator=(const TerminatedText&) = delete;
    const char* Get() const noexcept { return text_; }

private:
    char local_[64];
    std::string heap_;
    const char* text_;
};

// Each parser takes a text that ends with a NUL at text[length]; a NUL inside the text stops the parse early and so
// counts as a character left over.
int64_t ParseSignedText(BindingResult& result, const char* text, size_t length, const char* name,
                        const char* typeName, int64_t min, int64_t max) {
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 0);
    if (end != text + length) {
        result.SetError(FormatString(Message::numberFormat, text, name, typeName));
        return 0;
    }
    if (errno == ERANGE || value < min || value > max) {
        result.SetError(FormatString(Message::numberRange, text, name, typeName));
        return 0;
    }
    return value;
}

// strtoull accepts a minus sign and negates; any "-" before the digits is out of range here.
bool HasMinusSign(const char* text) {
    while (std::isspace(static_cast<unsigned char>(*text))) ++text;
    return *text == '-';
}

uint64_t ParseUnsignedText(BindingResult& result, const char* text, size_t length, const char* name,
                           const char* typeName, uint64_t max) {
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 0);
    if (end != text + length) {
        result.SetError(FormatString(Message::numberFormat, text, name, typeName));
        return 0;
    }
    if (errno == ERANGE || value > max || HasMinusSign(text)) {
        result.SetError(FormatString(Message::numberRange, text, name, typeName));
        return 0;
    }
    return value;
}

// Overflow and underflow alike are out of range.
double ParseDoubleText(BindingResult& result, const char* text, size_t length, const char* name,
                       const char* typeName, double limit) {
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end != text + length) {
        result.SetError(FormatString(Message::numberFormat, text, name, typeName));
        return 0;
    }
    if (errno == ERANGE || value < -limit || value > limit) {
        result.SetError(FormatString(Message::numberRange, text, name, typeName));
        return 0;
    }
    return value;
}

template <class Int>
constexpr const char* IntegerTypeName() {
    constexpr bool isSigned = std::numeric_limits<Int>::is_signed;
    switch (sizeof(Int)) {
        case 1: return isSigned ? "int8" : "uint8";
        case 2: return isSigned ? "int16" : "uint16";
        case 4: return isSigned ? "int32" : "uint32";
        default: return isSigned ? "int64" : "uint64";
    }
}

template <class Int>
bool Fits(int64_t value) {
    using Limits = std::numeric_limits<Int>;
    if constexpr (Limits::is_signed) return value >= Limits::min() && value <= Limits::max();
    else return value >= 0 && static_cast<uint64_t>(value) <= Limits::max();
}

template <class Int>
bool Fits(uint64_t value) {
    return value <= static_cast<uint64_t>(std::numeric_limits<Int>::max());
}

// Also refuses NaN, and the 64-bit maxima, which round up to 2^63 and 2^64 as doubles and would not truncate.
template <class Int>
bool Fits(double value) {
    using Limits = std::numeric_limits<Int>;
    constexpr double pastMax = 2.0 * static_cast<double>(uint64_t{1} << (Limits::digits - 1));
    return value >= static_cast<double>(Limits::min()) && value <= static_cast<double>(Limits::max()) &&
           value < pastMax;
}

template <class Int, class Number>
void AssignInRange(BindingResult& result, Int& target, Number value, const char* name) {
    if (Fits<Int>(value))
        target = static_cast<Int>(value);
    else
        result.SetError(FormatString(Message::numberRange, value, name, IntegerTypeName<Int>()));
}

template <class Int>
void IntegerFromProperty(BindingResult& result, Int& target, const BindingProperty& input, const char* name) {
    using Limits = std::numeric_limits<Int>;
    target = 0;
    if (!result.ok) return;
    const char* typeName = IntegerTypeName<Int>();
    switch (input.GetKind()) {
        case Kind::Empty: result.SetError(FormatString(Message::required, name)); return;
        case Kind::Signed: AssignInRange(result, target, input.GetSigned(0), name); return;
        case Kind::Unsigned: AssignInRange(result, target, input.GetUnsigned(0), name); return;
        case Kind::Float: AssignInRange(result, target, input.GetDouble(0), name); return;
        case Kind::Enum: {
            const int32_t value = input.EnumValue();
            if (Fits<Int>(int64_t{value}))
                target = static_cast<Int>(value);
            else
                result.SetError(FormatString(Message::numberRange, value, name, typeName));
            return;
        }
        case Kind::String: {
            const std::string_view text = input.GetString();
            if constexpr (Limits::is_signed)
                target = static_cast<Int>(
                    ParseSignedText(result, text.data(), text.size(), name, typeName, Limits::min(), Limits::max()));
            else
                target = static_cast<Int>(ParseUnsignedText(result, text.data(), text.size(), name, typeName,
                                                            Limits::max()));
            return;
        }
        default: result.SetError(FormatString(Message::invalidType, name, typeName, input.KindName())); return;
    }
}

template <class Real>
void RealFromProperty(BindingResult& result, Real& target, const BindingProperty& input, const char* name) {
    constexpr double limit = std::numeric_limits<Real>::max();
    const char* typeName = std::is_same_v<Real, float> ? "float" : "double";
    target = 0;
    if (!result.ok) return;
    switch (input.GetKind()) {
        case Kind::Empty: result.SetError(FormatString(Message::required, name)); return;
        case Kind::Signed: target = static_cast<Real>(input.GetSigned(0)); return;
        case Kind::Unsigned: target = static_cast<Real>(input.GetUnsigned(0)); return;
        case Kind::Enum: target = static_cast<Real>(input.EnumValue()); return;
        case Kind::Float: {
            const double value = input.GetDouble(0);
            if (-limit > value || value > limit)
                result.SetError(FormatString(Message::numberRange, value, name, typeName));
            else
                target = static_cast<Real>(value);
            return;
        }
        case Kind::String: {
            const std::string_view text = input.GetString();
            target = static_cast<Real>(ParseDoubleText(result, text.data(), text.size(), name, typeName, limit));
            return;
        }
        default: result.SetError(FormatString(Message::invalidType, name, typeName, input.KindName())); return;
    }
}

bool IsBase64Character(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/' ||
           c == '=';
}

}  // namespace

int64_t ParseSigned64(BindingResult& result, std::string_view text, const char* name, const char* typeName) {
    const TerminatedText terminated(text);
    return ParseSignedText(result, terminated.Get(), text.size(), name, typeName,
                           std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max());
}

uint64_t ParseUnsigned64(BindingResult& result, std::string_view text, const char* name, const char* typeName) {
    const TerminatedText terminated(text);
    return ParseUnsignedText(result, terminated.Get(), text.size(), name, typeName,
                             std::numeric_limits<uint64_t>::max());
}

double ParseDouble(BindingResult& result, std::string_view text, const char* name, const char* typeName) {
    const TerminatedText terminated(text);
    return ParseDoubleText(result, terminated.Get(), text.size(), name, typeName, std::numeric_limits<double>::max());
}

void ScalarFromProperty(BindingResult& result, bool& target, const BindingProperty& input, const char* name) {
    target = false;
    if (!result.ok) return;
    switch (input.GetKind()) {
        case Kind::Empty: result.SetError(FormatString(Message::required, name)); return;
        case Kind::Bool: target = input.GetBool(false); return;
        case Kind::String: {
            const std::string_view text = input.GetString();
            if (text == "1" || text == "true")
                target = true;
            else if (text != "0" && text != "false")
                result.SetError(FormatString(Message::boolFormat, text.data(), name));
            return;
        }
        default: result.SetError(FormatString(Message::boolInvalidType, name, input.KindName())); return;
    }
}

void ScalarFromProperty(BindingResult& result, int8_t& target, const BindingProperty& input, const char* name) {
    IntegerFromProperty(result, target, input, name);
}
void ScalarFromProperty(BindingResult& result, uint8_t& target, const BindingProperty& input, const char* name) {
    IntegerFromProperty(result, target, input, name);
}
void ScalarFromProperty(BindingResult& result, int16_t& target, const BindingProperty& input, const char* name) {
    IntegerFromProperty(result, target, input, name);
}
void ScalarFromProperty(BindingResult& result, uint16_t& target, const BindingProperty& input, const char* name) {
    IntegerFromProperty(result, target, input, name);
}
void ScalarFromProperty(BindingResult& result, int32_t& target, const BindingProperty& input, const char* name) {
    IntegerFromProperty(result, target, input, name);
}
void ScalarFromProperty(BindingResult& result, uint32_t& target, const BindingProperty& input, const char* name) {
    IntegerFromProperty(result, target, input, name);
}
void ScalarFromProperty(BindingResult& result, int64_t& target, const BindingProperty& input, const char* name) {
    IntegerFromProperty(result, target, input, name);
}
void ScalarFromProperty(BindingResult& result, uint64_t& target, const BindingProperty& input, const char* name) {
    IntegerFromProperty(result, target, input, name);
}
void ScalarFromProperty(BindingResult& result, float& target, const BindingProperty& input, const char* name) {
    RealFromProperty(result, target, input, name);
}
void ScalarFromProperty(BindingResult& result, double& target, const BindingProperty& input, const char* name) {
    RealFromProperty(result, target, input, name);
}

void ScalarFromProperty(BindingResult& result, BindingProperty& target, const BindingProperty& input, const char*) {
    target.Clear();
    if (result.ok) target = input;
}

void ScalarFromProperty(BindingResult& result, std::vector<uint8_t>& target, const BindingProperty& input,
                        const char* name) {
    target.clear();
    if (!result.ok) return;
    switch (input.GetKind()) {
        case Kind::Empty: result.SetError(FormatString(Message::required, name)); return;
        case Kind::Blob: {
            const auto bytes = input.GetBlob();
            target.assign(bytes.begin(), bytes.end());
            return;
        }
        case Kind::String: {
            const std::string_view text = input.GetString();
            for (char c : text) {
                if (!IsBase64Character(c)) {
                    result.SetError(FormatString(Message::blobCharacters, name));
                    return;
                }
            }
            const std::string bytes = DecodeBase64(text);
            target.assign(bytes.begin(), bytes.end());
            return;
        }
        default: result.SetError(FormatString(Message::notBlob, name)); return;
    }
}

void StringFromProperty(BindingResult& result, std::string& target, const BindingProperty& input, const char* name,
                        const BindingRegistry& registry) {
    target.clear();
    if (!result.ok) return;
    switch (input.GetKind()) {
        case Kind::Empty: result.SetError(FormatString(Message::required, name)); return;
        case Kind::String: target.assign(input.GetString()); return;
        case Kind::Enum: {
            const BindingTypeInfo* type = input.EnumType() ? registry.FindType(*input.EnumType()) : nullptr;
            const BindingEnumValueInfo* value = type ? type->FindValue(input.EnumValue()) : nullptr;
            if (value)
                target = value->name;
            else
                result.SetError(FormatString(Message::enumNameMissing, input.EnumValue(), name));
            return;
        }
        default: result.SetError(FormatString(Message::notString, name)); return;
    }
}

}  // namespace Zarvo
