// The argument side of the placeholder formatter: the context handed to an argument for one placeholder, and the
// constant per-type table that tells the engine how to write each argument and whether it can be a `*` value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/parameter_error.h"
#include "platform/version.h"

namespace Zarvo {

// Built by the engine for one placeholder and handed to the format operation of the argument it names.
struct PlaceholderContext {
    char* out;                    // write position in the output buffer
    uint32_t written;             // characters written before this placeholder
    uint32_t remaining;           // bytes from `out` to the end of the buffer, the terminating NUL's place included
    char spec[64];                // the printf specification collected from the placeholder, starting with '%'
    uint32_t specLength;
    const char* allowedLetters;   // conversion letters the argument accepts; the first one is its default
    char conversion;              // the letter written in the placeholder ('\0' when none), then the letter chosen
    const char* defaultModifier;  // "ll" for 64-bit integers, else empty
    const void* value;
    int32_t starValues[2];        // the `*` values in printf order: width before precision
    uint32_t starCount;
};

struct FormatArgument {
    // Returns the characters written; `remaining` when the output was cut, which ends the formatting; negative to
    // stop formatting with nothing written.
    int32_t (*format)(PlaceholderContext& context);
    int32_t (*toInteger)(const void* value);  // the value as a `*` width or precision
    bool isInteger;
};

namespace FormatDetail {

enum class IntegerKind : uint8_t { Signed32, Unsigned32, Character, Signed64, Unsigned64 };

// `bits` holds the value converted to 64 bits (sign-extended for signed types).
int32_t WriteInteger(PlaceholderContext& context, IntegerKind kind, uint64_t bits);
int32_t WriteFloating(PlaceholderContext& context, double value);
// Text of known length; it ends early at an embedded NUL, as printf's "%s" would.
int32_t WriteText(PlaceholderContext& context, const char* text, size_t length);

int32_t FormatCString(PlaceholderContext& context);
int32_t FormatStdString(PlaceholderContext& context);
int32_t FormatStringView(PlaceholderContext& context);
int32_t FormatVersion(PlaceholderContext& context);
int32_t FormatParameterError(PlaceholderContext& context);
int32_t NotAnInteger(const void* value);

template <class T>
inline constexpr bool kIsFormattableInteger =
    std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, wchar_t> &&
    !std::is_same_v<T, char8_t> && !std::is_same_v<T, char16_t> && !std::is_same_v<T, char32_t> && sizeof(T) <= 8;

template <class T>
constexpr IntegerKind IntegerKindOf() {
    if constexpr (std::is_same_v<T, char>) return IntegerKind::Character;
    else if constexpr (sizeof(T) <= 4) return std::is_signed_v<T> ? IntegerKind::Signed32 : IntegerKind::Unsigned32;
    else return std::is_signed_v<T> ? IntegerKind::Signed64 : IntegerKind::Unsigned64;
}

template <class T>
int32_t FormatInteger(PlaceholderContext& context) {
    return WriteInteger(context, IntegerKindOf<T>(), static_cast<uint64_t>(*static_cast<const T*>(context.value)));
}

// The low 32 bits; narrower signed values (char included) come sign-extended.
template <class T>
int32_t IntegerToInteger(const void* value) {
    return static_cast<int32_t>(static_cast<uint32_t>(*static_cast<const T*>(value)));
}

template <class T>
int32_t FormatFloating(PlaceholderContext& context) {
    return WriteFloating(context, static_cast<double>(*static_cast<const T*>(context.value)));
}

// A char array need not hold a NUL: its text ends at the first NUL or at the array's end.
template <size_t N>
int32_t FormatCharArray(PlaceholderContext& context) {
    return WriteText(context, static_cast<const char*>(context.value), N);
}

template <class>
inline constexpr bool kNoSpelling = false;

template <class T>
constexpr FormatArgument FormatArgumentOf() {
    using U = std::remove_cv_t<T>;
    if constexpr (std::is_array_v<U> && std::is_same_v<std::remove_cv_t<std::remove_extent_t<U>>, char>)
        return {&FormatCharArray<std::extent_v<U>>, &NotAnInteger, false};
    else if constexpr (std::is_same_v<U, const char*> || std::is_same_v<U, char*>)
        return {&FormatCString, &NotAnInteger, false};
    else if constexpr (std::is_same_v<U, std::string>)
        return {&FormatStdString, &NotAnInteger, false};
    else if constexpr (std::is_same_v<U, std::string_view>)
        return {&FormatStringView, &NotAnInteger, false};
    else if constexpr (std::is_same_v<U, Version>)
        return {&FormatVersion, &NotAnInteger, false};
    else if constexpr (std::is_same_v<U, ParameterError>)
        return {&FormatParameterError, &NotAnInteger, false};
    else if constexpr (std::is_same_v<U, double> || std::is_same_v<U, float>)
        return {&FormatFloating<U>, &NotAnInteger, false};
    else if constexpr (kIsFormattableInteger<U>)
        return {&FormatInteger<U>, &IntegerToInteger<U>, true};
    else
        static_assert(kNoSpelling<T>, "no text spelling for this argument type");
}

}  // namespace FormatDetail

// The constant argument table of one argument-type list.
template <class... A>
inline constexpr FormatArgument kFormatArguments[] = {FormatDetail::FormatArgumentOf<A>()...};

}  // namespace Zarvo
