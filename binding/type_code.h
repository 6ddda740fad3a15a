// The binding type codes and the identifier through which a field, argument or result names its type.
#pragma once

#include <cstdint>
#include <string>

namespace Zarvo {

struct BindingTypeInfo;

enum class BindingTypeCode : int32_t {
    None = 0,
    Bool = 1,
    Int8 = 2,
    UInt8 = 3,
    Int16 = 4,
    UInt16 = 5,
    Int32 = 6,
    UInt32 = 7,
    Int64 = 8,
    UInt64 = 9,
    Float = 10,
    Double = 11,
    String = 12,
    Object = 13,
    Blob = 14,
    Vector = 15,
    Enum = 16,
    Struct = 17,
    Callback = 18,
    Map = 19,
};

struct BindingTypeIdentifier {
    BindingTypeCode code = BindingTypeCode::None;
    // The element of a vector or map; None otherwise.
    BindingTypeCode elementCode = BindingTypeCode::None;
    // The enum or record named by code (or by elementCode for a vector or map); null otherwise.
    const BindingTypeInfo* descriptor = nullptr;
};

// The word of a code in messages and help: "bool", "int8", ... "map"; "enum" and "struct" for 16 and 17; "" outside
// 1..19.
const char* NativeSpelling(BindingTypeCode code) noexcept;

struct NativeTypeSpelling {
    std::string type;
    // The element's own word for a vector or map; empty otherwise.
    std::string elementType;
};

// An enum or record spells as its descriptor's registered name when one is attached.
NativeTypeSpelling NativeSpelling(const BindingTypeIdentifier& identifier);

}  // namespace Zarvo
