// Conversion between native values and BindingProperty trees, driven by the registry's descriptors. Failures are
// reported on the BindingResult passed in; no converter throws for bad input.
//
//   ConvertFromProperty(result, queue, body, "queue", registry);   // property -> native
//   ConvertToProperty(result, queue, registry);                    // native -> result.value
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "binding/descriptors.h"
#include "binding/native_type.h"
#include "binding/property.h"
#include "binding/registry.h"
#include "binding/static_type.h"

namespace Zarvo {

// The string rules, shared with the text readers: the whole text must be a number. On failure the result gets the
// incorrect-format or out-of-range message with the text, name and typeName, and 0 is returned.
int64_t ParseSigned64(BindingResult& result, std::string_view text, const char* name, const char* typeName);
uint64_t ParseUnsigned64(BindingResult& result, std::string_view text, const char* name, const char* typeName);
double ParseDouble(BindingResult& result, std::string_view text, const char* name, const char* typeName);

// Property to native. Every rule below but the record rules writes its target in all cases: the zero value when the
// result arrives failed or the conversion fails. The name stands for the target in messages.
void ScalarFromProperty(BindingResult& result, bool& target, const BindingProperty& input, const char* name);
void ScalarFromProperty(BindingResult& result, int8_t& target, const BindingProperty& input, const char* name);
void ScalarFromProperty(BindingResult& result, uint8_t& target, const BindingProperty& input, const char* name);
void ScalarFromProperty(BindingResult& result, int16_t& target, const BindingProperty& input, const char* name);
void ScalarFromProperty(BindingResult& result, uint16_t& target, const BindingProperty& input, const char* name);
void ScalarFromProperty(BindingResult& result, int32_t& target, const BindingProperty& input, const char* name);
void ScalarFromProperty(BindingResult& result, uint32_t& target, const BindingProperty& input, const char* name);
void ScalarFromProperty(BindingResult& result, int64_t& target, const BindingProperty& input, const char* name);
void ScalarFromProperty(BindingResult& result, uint64_t& target, const BindingProperty& input, const char* name);
void ScalarFromProperty(BindingResult& result, float& target, const BindingProperty& input, const char* name);
void ScalarFromProperty(BindingResult& result, double& target, const BindingProperty& input, const char* name);
// Object: a deep copy of the input, whatever its kind.
void ScalarFromProperty(BindingResult& result, BindingProperty& target, const BindingProperty& input, const char* name);
// Blob: the bytes of a Blob, or of a String decoded as Base64.
void ScalarFromProperty(BindingResult& result, std::vector<uint8_t>& target, const BindingProperty& input,
                        const char* name);
// An Enum input is named through the registry.
void StringFromProperty(BindingResult& result, std::string& target, const BindingProperty& input, const char* name,
                        const BindingRegistry& registry);
// Stores the enumerator's number in width bytes (1, 2, 4 or 8).
void EnumFromProperty(BindingResult& result, void* target, size_t width, const BindingProperty& input,
                      const char* name, const BindingTypeInfo* descriptor);
// Writes fields only while the result is ok; absent or Empty optional fields keep their values.
void RecordFromProperty(BindingResult& result, void* target, const BindingProperty& input, const char* name,
                        const BindingTypeInfo* descriptor, const BindingRegistry& registry);
// The record rule after refusing an Empty input.
void RequiredRecordFromProperty(BindingResult& result, void* target, const BindingProperty& input, const char* name,
                                const BindingTypeInfo* descriptor, const BindingRegistry& registry);
// Refuse (with the message) an input that is not a Collection, or not a Structure; a vector of bool reports an
// Empty input as missing.
bool AcceptVectorInput(BindingResult& result, const BindingProperty& input, const char* name, bool emptyIsRequired);
bool AcceptMapInput(BindingResult& result, const BindingProperty& input, const char* name);
// One field of a record, chosen by its type code or through its converter.
void FieldFromProperty(BindingResult& result, const BindingFieldInfo& field, void* record,
                       const BindingProperty& input, const BindingRegistry& registry);

// Native to property: each writes into out. Once a failure is set on the result, out is not touched again, since
// it may live inside the result's value.
void EnumToProperty(BindingProperty& out, const void* source, size_t width, const StaticTypeInfo* type);
void RecordToProperty(BindingResult& result, BindingProperty& out, const void* source,
                      const BindingTypeInfo* descriptor, const BindingRegistry& registry);
void FieldToProperty(BindingResult& result, BindingProperty& out, const BindingFieldInfo& field, const void* record,
                     const BindingRegistry& registry);

// The descriptor of a field or element, or the registered one of T when none was attached.
template <class T>
const BindingTypeInfo* ResolveDescriptor(const BindingTypeInfo* descriptor, const BindingRegistry& registry) {
    return descriptor ? descriptor : registry.FindType(StaticType::HashCode<T>());
}

// Typed conversions of any supported native type. The descriptor is T's own for an enum or record and the element's
// for a vector or map.
template <class T>
void PropertyToNative(BindingResult& result, T& target, const BindingProperty& input, const char* name,
                      const BindingTypeInfo* descriptor, const BindingRegistry& registry);
template <class T>
void NativeToProperty(BindingResult& result, BindingProperty& out, const T& source, const BindingTypeInfo* descriptor,
                      const BindingRegistry& registry);

// The descriptor of the elements of a vector or map, found once for all of them.
template <class T>
const BindingTypeInfo* ElementDescriptor(const BindingTypeInfo* descriptor, const BindingRegistry& registry) {
    constexpr BindingTypeCode code = TypeCodeOf<T>();
    if constexpr (code == BindingTypeCode::Enum || code == BindingTypeCode::Struct)
        return ResolveDescriptor<T>(descriptor, registry);
    return descriptor;
}

template <class T>
void VectorFromProperty(BindingResult& result, std::vector<T>& target, const BindingProperty& input, const char* name,
                        const BindingTypeInfo* descriptor, const BindingRegistry& registry) {
    target.clear();
    if (!result.ok) return;
    if (!AcceptVectorInput(result, input, name, std::is_same_v<T, bool>)) return;
    descriptor = ElementDescriptor<T>(descriptor, registry);
    const auto elements = input.Elements();
    target.resize(elements.size());
    for (size_t index = 0; index < elements.size() && result.ok; ++index) {
        if (elements[index].IsEmpty()) continue;
        if constexpr (std::is_same_v<T, bool>) {
            bool value = false;
            PropertyToNative(result, value, elements[index], name, descriptor, registry);
            target[index] = value;
        } else {
            PropertyToNative(result, target[index], elements[index], name, descriptor, registry);
        }
    }
}

template <class T>
void MapFromProperty(BindingResult& result, std::unordered_map<std::string, T>& target, const BindingProperty& input,
                     const char* name, const BindingTypeInfo* descriptor, const BindingRegistry& registry) {
    target.clear();
    if (!result.ok) return;
    if (!AcceptMapInput(result, input, name)) return;
    descriptor = ElementDescriptor<T>(descriptor, registry);
    target.reserve(input.Size());
    for (const auto& [key, child] : input.Members()) {
        if (!result.ok) return;
        if (child.IsEmpty()) continue;
        PropertyToNative(result, target[std::string(key.View())], child, name, descriptor, registry);
    }
}

template <class T>
void VectorToProperty(BindingResult& result, BindingProperty& out, const std::vector<T>& source,
                      const BindingTypeInfo* descriptor, const BindingRegistry& registry) {
    out.Clear();
    out.MakeCollection();
    out.Reserve(source.size());
    descriptor = ElementDescriptor<T>(descriptor, registry);
    for (size_t index = 0; index < source.size(); ++index) {
        if constexpr (std::is_same_v<T, bool>)
            out.Element(index).SetBool(source[index]);
        else
            NativeToProperty(result, out.Element(index), source[index], descriptor, registry);
        if (!result.ok) return;
    }
}

template <class T>
void MapToProperty(BindingResult& result, BindingProperty& out, const std::unordered_map<std::string, T>& source,
                   const BindingTypeInfo* descriptor, const BindingRegistry& registry) {
    out.Clear();
    out.MakeStructure();
    descriptor = ElementDescriptor<T>(descriptor, registry);
    for (const auto& [key, value] : source) {
        NativeToProperty(result, out.ChildForWrite(key), value, descriptor, registry);
        if (!result.ok) return;
    }
}

template <class T>
void PropertyToNative(BindingResult& result, T& target, const BindingProperty& input, const char* name,
                      const BindingTypeInfo* descriptor, const BindingRegistry& registry) {
    constexpr BindingTypeCode code = TypeCodeOf<T>();
    if constexpr (code == BindingTypeCode::String)
        StringFromProperty(result, target, input, name, registry);
    else if constexpr (code == BindingTypeCode::Vector)
        VectorFromProperty(result, target, input, name, descriptor, registry);
    else if constexpr (code == BindingTypeCode::Map)
        MapFromProperty(result, target, input, name, descriptor, registry);
    else if constexpr (code == BindingTypeCode::Enum)
        EnumFromProperty(result, std::addressof(target), sizeof(T), input, name,
                         ResolveDescriptor<T>(descriptor, registry));
    else if constexpr (code == BindingTypeCode::Struct)
        RecordFromProperty(result, std::addressof(target), input, name, ResolveDescriptor<T>(descriptor, registry),
                           registry);
    else
        ScalarFromProperty(result, target, input, name);
}

template <class T>
void NativeToProperty(BindingResult& result, BindingProperty& out, const T& source, const BindingTypeInfo* descriptor,
                      const BindingRegistry& registry) {
    constexpr BindingTypeCode code = TypeCodeOf<T>();
    if constexpr (code == BindingTypeCode::Bool)
        out.SetBool(source);
    else if constexpr (code == BindingTypeCode::Float || code == BindingTypeCode::Double)
        out.SetDouble(source);
    else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>)
        out.SetSigned(source);
    else if constexpr (std::is_integral_v<T>)
        out.SetUnsigned(source);
    else if constexpr (code == BindingTypeCode::String)
        out.SetString(source);
    else if constexpr (code == BindingTypeCode::Object)
        out = source;
    else if constexpr (code == BindingTypeCode::Blob)
        out.SetBlob(source.data(), source.size());
    else if constexpr (code == BindingTypeCode::Vector)
        VectorToProperty(result, out, source, descriptor, registry);
    else if constexpr (code == BindingTypeCode::Map)
        MapToProperty(result, out, source, descriptor, registry);
    else if constexpr (code == BindingTypeCode::Enum)
        EnumToProperty(out, std::addressof(source), sizeof(T), &StaticType::HashCode<T>());
    else
        RecordToProperty(result, out, std::addressof(source), ResolveDescriptor<T>(descriptor, registry), registry);
}

// Converts a whole value; a record is found in the registry by its static type and must not be Empty.
template <class T>
void ConvertFromProperty(BindingResult& result, T& target, const BindingProperty& input, const char* name,
                         const BindingRegistry& registry) {
    if constexpr (TypeCodeOf<T>() == BindingTypeCode::Struct)
        RequiredRecordFromProperty(result, std::addressof(target), input, name,
                                   registry.FindType(StaticType::HashCode<T>()), registry);
    else
        PropertyToNative(result, target, input, name, nullptr, registry);
}

template <class T>
void ConvertFromProperty(BindingResult& result, T& target, const BindingProperty& input,
                         const BindingRegistry& registry) {
    ConvertFromProperty(result, target, input, "<value>", registry);
}

// Replaces the result's value with the converted value and sets ok; only an unregistered record fails.
template <class T>
void ConvertToProperty(BindingResult& result, const T& source, const BindingRegistry& registry) {
    result.ok = true;
    NativeToProperty(result, result.value, source, nullptr, registry);
}

// The converter of a field of native type T, made at registration.
template <class T>
class TypedFieldConverter final : public FieldConverter {
public:
    void FromProperty(BindingResult& result, void* field, const BindingProperty& input, const char* name,
                      const BindingTypeInfo* descriptor, const BindingRegistry& registry) const override {
        PropertyToNative(result, *static_cast<T*>(field), input, name, descriptor, registry);
    }
    void ToProperty(BindingResult& result, BindingProperty& out, const void* field, const BindingTypeInfo* descriptor,
                    const BindingRegistry& registry) const override {
        NativeToProperty(result, out, *static_cast<const T*>(field), descriptor, registry);
    }
};

}  // namespace Zarvo
