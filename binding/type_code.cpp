#include "binding/type_code.h"

#include "binding/descriptors.h"

namespace Zarvo {

const char* NativeSpelling(BindingTypeCode code) noexcept {
    static constexpr const char* words[] = {"",       "bool",   "int8",  "uint8",  "int16", "uint16", "int32",
                                            "uint32", "int64",  "uint64", "float", "double", "string", "object",
                                            "blob",   "vector", "enum",  "struct", "callback", "map"};
    const auto index = static_cast<int32_t>(code);
    return index > 0 && index < static_cast<int32_t>(std::size(words)) ? words[index] : "";
}

namespace {

std::string SpellCode(BindingTypeCode code, const BindingTypeInfo* descriptor) {
    if (descriptor && (code == BindingTypeCode::Enum || code == BindingTypeCode::Struct)) return descriptor->name;
    return NativeSpelling(code);
}

}  // namespace

NativeTypeSpelling NativeSpelling(const BindingTypeIdentifier& identifier) {
    if (identifier.code == BindingTypeCode::Vector || identifier.code == BindingTypeCode::Map)
        return {NativeSpelling(identifier.code), SpellCode(identifier.elementCode, identifier.descriptor)};
    return {SpellCode(identifier.code, identifier.descriptor), {}};
}

}  // namespace Zarvo
