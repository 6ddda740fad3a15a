// Static type identity without run-time type information: one constant record per native type, holding a 32-bit
// hash of the compiler's spelling of the type and a printable name.
#pragma once

#include <cstdint>
#include <string_view>

namespace Zarvo {

struct StaticTypeInfo {
    uint32_t hashCode;
    const char* name;
    // "#" and eight hexadecimal digits of the hash code, for the records whose name is made from it.
    char nameBuffer[10];
};

// 32-bit FNV-1a; the empty text yields the offset basis.
constexpr uint32_t Fnv1a(std::string_view text) noexcept {
    uint32_t hash = 0x811C9DC5u;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

namespace StaticType {
namespace Detail {

// The compiler's signature text of this instantiation: a compile-time spelling of T, distinct per type.
template <class T>
constexpr std::string_view Signature() noexcept {
#if defined(_MSC_VER) && !defined(__clang__)
    return __FUNCSIG__;
#else
    return __PRETTY_FUNCTION__;
#endif
}

template <class T>
inline constexpr uint32_t hashCode = Fnv1a(Signature<T>());

constexpr char HexDigit(uint32_t value, int shift) noexcept { return "0123456789ABCDEF"[(value >> shift) & 15u]; }

// Constant-initialised, so there is no first-use guard to race on; the name points into the record itself.
template <class T>
inline constexpr StaticTypeInfo hashRecord{
    hashCode<T>,
    hashRecord<T>.nameBuffer,
    {'#', HexDigit(hashCode<T>, 28), HexDigit(hashCode<T>, 24), HexDigit(hashCode<T>, 20), HexDigit(hashCode<T>, 16),
     HexDigit(hashCode<T>, 12), HexDigit(hashCode<T>, 8), HexDigit(hashCode<T>, 4), HexDigit(hashCode<T>, 0), '\0'}};

}  // namespace Detail

// The identity record of T; its name is the hash code as "#%08X". The code of void stands for "no type".
template <class T>
const StaticTypeInfo& HashCode() noexcept {
    return Detail::hashRecord<T>;
}

// A record with the same hash code whose name is readable text (the signature of this function), for log messages.
template <class T>
const StaticTypeInfo& Name() noexcept {
#if defined(_MSC_VER) && !defined(__clang__)
    static constexpr StaticTypeInfo record{Detail::hashCode<T>, __FUNCSIG__, {}};
#else
    static constexpr StaticTypeInfo record{Detail::hashCode<T>, __PRETTY_FUNCTION__, {}};
#endif
    return record;
}

}  // namespace StaticType
}  // namespace Zarvo
