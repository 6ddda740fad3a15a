// The enum and record rules and the field dispatch by type code, in both directions.
#include <cstring>
#include <limits>
#include <type_traits>

#include "binding/conversion.h"
#include "binding/conversion_messages.h"
#include "platform/format.h"

namespace Zarvo {

namespace {

using Kind = BindingProperty::Kind;
using Code = BindingTypeCode;
namespace Message = ConversionMessage;

template <class Int>
void StoreAs(void* target, int32_t value) {
    const auto stored = static_cast<Int>(value);
    std::memcpy(target, &stored, sizeof stored);
}

// The 8-byte form sign-extends the number.
void StoreEnum(void* target, size_t width, int32_t value) {
    switch (width) {
        case 1: StoreAs<int8_t>(target, value); break;
        case 2: StoreAs<int16_t>(target, value); break;
        case 4: StoreAs<int32_t>(target, value); break;
        case 8: StoreAs<int64_t>(target, value); break;
        default: break;
    }
}

template <class Int>
int32_t LoadAs(const void* source) {
    Int value;
    std::memcpy(&value, source, sizeof value);
    return static_cast<int32_t>(value);
}

int32_t LoadEnum(const void* source, size_t width) {
    switch (width) {
        case 1: return LoadAs<int8_t>(source);
        case 2: return LoadAs<int16_t>(source);
        case 4: return LoadAs<int32_t>(source);
        case 8: return LoadAs<int64_t>(source);
        default: return 0;
    }
}

// Calls visit with the native type of an element code 1..14; false for any other code.
template <class Visitor>
bool VisitElementType(Code code, Visitor&& visit) {
    switch (code) {
        case Code::Bool: visit(std::type_identity<bool>{}); return true;
        case Code::Int8: visit(std::type_identity<int8_t>{}); return true;
        case Code::UInt8: visit(std::type_identity<uint8_t>{}); return true;
        case Code::Int16: visit(std::type_identity<int16_t>{}); return true;
        case Code::UInt16: visit(std::type_identity<uint16_t>{}); return true;
        case Code::Int32: visit(std::type_identity<int32_t>{}); return true;
        case Code::UInt32: visit(std::type_identity<uint32_t>{}); return true;
        case Code::Int64: visit(std::type_identity<int64_t>{}); return true;
        case Code::UInt64: visit(std::type_identity<uint64_t>{}); return true;
        case Code::Float: visit(std::type_identity<float>{}); return true;
        case Code::Double: visit(std::type_identity<double>{}); return true;
        case Code::String: visit(std::type_identity<std::string>{}); return true;
        case Code::Object: visit(std::type_identity<BindingProperty>{}); return true;
        case Code::Blob: visit(std::type_identity<std::vector<uint8_t>>{}); return true;
        default: return false;
    }
}

// Calls visit with the native type of a field the dispatch converts itself; false when the field's converter must.
// Enums and records without a descriptor go to the converter too, which finds theirs by static type.
template <class Visitor>
bool VisitFieldType(const BindingTypeIdentifier& type, Visitor&& visit) {
    switch (type.code) {
        case Code::Vector:
            return VisitElementType(type.elementCode, [&]<class E>(std::type_identity<E>) {
                visit(std::type_identity<std::vector<E>>{});
            });
        case Code::Map:
            return VisitElementType(type.elementCode, [&]<class E>(std::type_identity<E>) {
                visit(std::type_identity<std::unordered_map<std::string, E>>{});
            });
        case Code::Blob:
        case Code::Enum:
        case Code::Struct: return false;
        default: return VisitElementType(type.code, visit);
    }
}

bool FromPropertyByCode(BindingResult& result, const BindingTypeIdentifier& type, void* target,
                        const BindingProperty& input, const char* name, const BindingRegistry& registry) {
    if (type.code == Code::Enum && type.descriptor) {
        EnumFromProperty(result, target, type.descriptor->size, input, name, type.descriptor);
        return true;
    }
    if (type.code == Code::Struct && type.descriptor) {
        RecordFromProperty(result, target, input, name, type.descriptor, registry);
        return true;
    }
    return VisitFieldType(type, [&]<class T>(std::type_identity<T>) {
        PropertyToNative(result, *static_cast<T*>(target), input, name, type.descriptor, registry);
    });
}

bool ToPropertyByCode(BindingResult& result, BindingProperty& out, const BindingTypeIdentifier& type,
                      const void* source, const BindingRegistry& registry) {
    if (type.code == Code::Enum && type.descriptor) {
        EnumToProperty(out, source, type.descriptor->size, type.descriptor->staticType);
        return true;
    }
    if (type.code == Code::Struct && type.descriptor) {
        RecordToProperty(result, out, source, type.descriptor, registry);
        return true;
    }
    return VisitFieldType(type, [&]<class T>(std::type_identity<T>) {
        NativeToProperty(result, out, *static_cast<const T*>(source), type.descriptor, registry);
    });
}

bool IsEnumerator(const BindingTypeInfo& descriptor, int32_t value) { return descriptor.FindValue(value) != nullptr; }

}  // namespace

bool AcceptVectorInput(BindingResult& result, const BindingProperty& input, const char* name, bool emptyIsRequired) {
    if (input.GetKind() == Kind::Collection) return true;
    result.SetError(FormatString(emptyIsRequired && input.IsEmpty() ? Message::required : Message::notCollection, name));
    return false;
}

bool AcceptMapInput(BindingResult& result, const BindingProperty& input, const char* name) {
    if (input.GetKind() == Kind::Structure) return true;
    result.SetError(FormatString(Message::mapNotStructure, name));
    return false;
}

void EnumFromProperty(BindingResult& result, void* target, size_t width, const BindingProperty& input,
                      const char* name, const BindingTypeInfo* descriptor) {
    StoreEnum(target, width, 0);
    if (!result.ok) return;
    if (!descriptor) {
        result.SetError(FormatString(Message::unregisteredEnum, name));
        return;
    }
    const char* typeName = descriptor->name.c_str();
    switch (input.GetKind()) {
        case Kind::Empty: result.SetError(FormatString(Message::required, name)); return;
        // A number must fit 32 bits, read as signed or unsigned, before it is compared with the enumerators.
        case Kind::Signed: {
            const int64_t value = input.GetSigned(0);
            if (value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max() &&
                IsEnumerator(*descriptor, static_cast<int32_t>(value)))
                StoreEnum(target, width, static_cast<int32_t>(value));
            else
                result.SetError(FormatString(Message::enumValueInvalid, value, typeName, name));
            return;
        }
        case Kind::Unsigned: {
            const uint64_t value = input.GetUnsigned(0);
            const auto number = static_cast<int32_t>(static_cast<uint32_t>(value));
            if (value <= std::numeric_limits<uint32_t>::max() && IsEnumerator(*descriptor, number))
                StoreEnum(target, width, number);
            else
                result.SetError(FormatString(Message::enumValueInvalid, value, typeName, name));
            return;
        }
        case Kind::Enum: {
            const int32_t value = input.EnumValue();
            if (IsEnumerator(*descriptor, value))
                StoreEnum(target, width, value);
            else
                result.SetError(FormatString(Message::enumValueInvalid, value, typeName, name));
            return;
        }
        case Kind::String: {
            const std::string_view text = input.GetString();
            if (const BindingEnumValueInfo* named = descriptor->FindValue(text)) {
                StoreEnum(target, width, named->value);
                return;
            }
            int32_t number = 0;
            BindingResult parsed;
            ScalarFromProperty(parsed, number, input, name);
            if (parsed.ok && IsEnumerator(*descriptor, number))
                StoreEnum(target, width, number);
            else
                result.SetError(FormatString(Message::enumValueInvalid, text.data(), typeName, name));
            return;
        }
        default: result.SetError(FormatString(Message::enumInvalidType, name, input.KindName())); return;
    }
}

void RecordFromProperty(BindingResult& result, void* target, const BindingProperty& input, const char* name,
                        const BindingTypeInfo* descriptor, const BindingRegistry& registry) {
    if (!result.ok) return;
    if (!descriptor) {
        result.SetError(FormatString(Message::unregisteredInput, name));
        return;
    }
    if (input.GetKind() != Kind::Structure) {
        result.SetError(FormatString(Message::recordNotStructure, name, descriptor->name.c_str()));
        return;
    }
    for (const BindingFieldInfo& field : descriptor->fields) {
        if (!result.ok) return;
        const BindingProperty& child = input.Child(field.name);
        if (!child.IsEmpty())
            FieldFromProperty(result, field, target, child, registry);
        else if (field.flags & BindingFieldFlags::Required)
            result.SetError(
                FormatString(Message::requiredField, name, descriptor->name.c_str(), field.name.c_str()));
    }
}

void RequiredRecordFromProperty(BindingResult& result, void* target, const BindingProperty& input, const char* name,
                                const BindingTypeInfo* descriptor, const BindingRegistry& registry) {
    if (!result.ok) return;
    if (input.IsEmpty())
        result.SetError(FormatString(Message::required, name));
    else
        RecordFromProperty(result, target, input, name, descriptor, registry);
}

void FieldFromProperty(BindingResult& result, const BindingFieldInfo& field, void* record,
                       const BindingProperty& input, const BindingRegistry& registry) {
    void* target = static_cast<char*>(record) + field.offset;
    const char* name = field.name.c_str();
    if (!field.customConverter && FromPropertyByCode(result, field.type, target, input, name, registry)) return;
    if (field.converter)
        field.converter->FromProperty(result, target, input, name, field.type.descriptor, registry);
    else
        result.SetError(FormatString(Message::noConverter, name));
}

void EnumToProperty(BindingProperty& out, const void* source, size_t width, const StaticTypeInfo* type) {
    out.SetEnum(LoadEnum(source, width), type);
}

void RecordToProperty(BindingResult& result, BindingProperty& out, const void* source,
                      const BindingTypeInfo* descriptor, const BindingRegistry& registry) {
    if (!descriptor) {
        result.SetError(Message::unregisteredNative);
        return;
    }
    out.Clear();
    out.MakeStructure();
    out.Reserve(descriptor->fields.size());
    for (const BindingFieldInfo& field : descriptor->fields) {
        if (field.flags & BindingFieldFlags::OmitWhenDefault) {
            BindingProperty value;
            FieldToProperty(result, value, field, source, registry);
            if (!result.ok) return;
            if (!value.IsDefault()) out.ChildForWrite(field.name) = value;
        } else {
            FieldToProperty(result, out.ChildForWrite(field.name), field, source, registry);
            if (!result.ok) return;
        }
    }
}

void FieldToProperty(BindingResult& result, BindingProperty& out, const BindingFieldInfo& field, const void* record,
                     const BindingRegistry& registry) {
    const void* source = static_cast<const char*>(record) + field.offset;
    if (!field.customConverter && ToPropertyByCode(result, out, field.type, source, registry)) return;
    if (field.converter)
        field.converter->ToProperty(result, out, source, field.type.descriptor, registry);
    else
        result.SetError(FormatString(Message::noConverter, field.name.c_str()));
}

}  // namespace Zarvo
