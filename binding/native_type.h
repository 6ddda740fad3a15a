// Compile-time classification of the native types the binding layer converts: their type code and element.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "binding/type_code.h"

namespace Zarvo {

class BindingProperty;

template <class T>
struct NativeContainer {
    static constexpr bool isVector = false;
    static constexpr bool isMap = false;
    using Element = void;
};

template <class T>
struct NativeContainer<std::vector<T>> {
    static constexpr bool isVector = true;
    static constexpr bool isMap = false;
    using Element = T;
};

template <class T>
struct NativeContainer<std::unordered_map<std::string, T>> {
    static constexpr bool isVector = false;
    static constexpr bool isMap = true;
    using Element = T;
};

template <class T>
inline constexpr bool unsupportedNativeType = false;

// The code of a native type. Every class type that is not one of the known containers is a record.
template <class T>
constexpr BindingTypeCode TypeCodeOf() noexcept {
    using Code = BindingTypeCode;
    if constexpr (std::is_void_v<T>) return Code::None;
    else if constexpr (std::is_same_v<T, bool>) return Code::Bool;
    else if constexpr (std::is_same_v<T, int8_t>) return Code::Int8;
    else if constexpr (std::is_same_v<T, uint8_t>) return Code::UInt8;
    else if constexpr (std::is_same_v<T, int16_t>) return Code::Int16;
    else if constexpr (std::is_same_v<T, uint16_t>) return Code::UInt16;
    else if constexpr (std::is_same_v<T, int32_t>) return Code::Int32;
    else if constexpr (std::is_same_v<T, uint32_t>) return Code::UInt32;
    else if constexpr (std::is_same_v<T, int64_t>) return Code::Int64;
    else if constexpr (std::is_same_v<T, uint64_t>) return Code::UInt64;
    else if constexpr (std::is_same_v<T, float>) return Code::Float;
    else if constexpr (std::is_same_v<T, double>) return Code::Double;
    else if constexpr (std::is_same_v<T, std::string>) return Code::String;
    else if constexpr (std::is_same_v<T, BindingProperty>) return Code::Object;
    else if constexpr (std::is_same_v<T, std::vector<uint8_t>>) return Code::Blob;
    else if constexpr (NativeContainer<T>::isVector) return Code::Vector;
    else if constexpr (NativeContainer<T>::isMap) return Code::Map;
    else if constexpr (std::is_enum_v<T>) return Code::Enum;
    else if constexpr (std::is_class_v<T>) return Code::Struct;
    else static_assert(unsupportedNativeType<T>, "the binding layer cannot convert this native type");
}

template <class T>
constexpr BindingTypeCode ElementCodeOf() noexcept {
    if constexpr (TypeCodeOf<T>() == BindingTypeCode::Vector || TypeCodeOf<T>() == BindingTypeCode::Map)
        return TypeCodeOf<typename NativeContainer<T>::Element>();
    else
        return BindingTypeCode::None;
}

// Enums and records are converted through a descriptor.
template <class T>
inline constexpr bool describedNativeType =
    TypeCodeOf<T>() == BindingTypeCode::Enum || TypeCodeOf<T>() == BindingTypeCode::Struct;

}  // namespace Zarvo
