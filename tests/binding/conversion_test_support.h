// Builders of single property values for the conversion tables.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "binding/property.h"

namespace Zarvo::Testing {

inline BindingProperty Empty() { return {}; }
inline BindingProperty Flag(bool value) {
    BindingProperty property;
    property.SetBool(value);
    return property;
}
inline BindingProperty Signed(int64_t value) {
    BindingProperty property;
    property.SetSigned(value);
    return property;
}
inline BindingProperty Unsigned(uint64_t value) {
    BindingProperty property;
    property.SetUnsigned(value);
    return property;
}
inline BindingProperty Float(double value) {
    BindingProperty property;
    property.SetDouble(value);
    return property;
}
inline BindingProperty Text(std::string_view value) {
    BindingProperty property;
    property.SetString(value);
    return property;
}
inline BindingProperty Bytes(std::vector<uint8_t> value) {
    BindingProperty property;
    property.SetBlob(value.data(), value.size());
    return property;
}
inline BindingProperty EnumNumber(int32_t value, const StaticTypeInfo* type = nullptr) {
    BindingProperty property;
    property.SetEnum(value, type);
    return property;
}
inline BindingProperty List(std::initializer_list<BindingProperty> elements) {
    BindingProperty property;
    property.MakeCollection();
    size_t index = 0;
    for (const BindingProperty& element : elements) property.Element(index++) = element;
    return property;
}
inline BindingProperty Object(std::initializer_list<std::pair<std::string_view, BindingProperty>> children) {
    BindingProperty property;
    property.MakeStructure();
    for (const auto& [key, child] : children) property.ChildForWrite(key) = child;
    return property;
}

}  // namespace Zarvo::Testing
