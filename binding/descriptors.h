// The registry's descriptors of records, enumerations, functions and events.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "binding/invoker.h"
#include "binding/type_code.h"

namespace Zarvo {

struct StaticTypeInfo;
struct BindingResult;
class BindingProperty;
class BindingRegistry;

// Converts one field of a native type that the field dispatch does not handle by its type code. The descriptor is
// the one of the field's type identifier.
class FieldConverter {
public:
    virtual ~FieldConverter() = default;
    virtual void FromProperty(BindingResult& result, void* field, const BindingProperty& input, const char* name,
                              const BindingTypeInfo* descriptor, const BindingRegistry& registry) const = 0;
    // Writes the field into out. Once a failure is set on the result, out is not touched again: it may be the
    // result's own value or a node inside it.
    virtual void ToProperty(BindingResult& result, BindingProperty& out, const void* field,
                            const BindingTypeInfo* descriptor, const BindingRegistry& registry) const = 0;
};

struct BindingFieldFlags {
    static constexpr uint8_t None = 0;
    // Leave the field out of a property when its value is the default.
    static constexpr uint8_t OmitWhenDefault = 1;
    // Refuse an input that lacks the field or holds Empty for it.
    static constexpr uint8_t Required = 2;
};

struct BindingFieldInfo {
    std::string name;
    uint32_t nameHash = 0;
    std::string description;
    uint32_t offset = 0;
    BindingTypeIdentifier type;
    const StaticTypeInfo* staticType = nullptr;
    uint8_t flags = BindingFieldFlags::None;
    std::unique_ptr<FieldConverter> converter;
    // Always convert through converter, whatever the type code.
    bool customConverter = false;
    // When its code is not None, the API description shows this identifier instead of type.
    BindingTypeIdentifier describedType;
};

struct BindingEnumValueInfo {
    int32_t value = 0;
    std::string name;
    std::string description;
};

struct BindingTypeInfo {
    // For an enum the storage width: 1, 2, 4 or 8.
    uint32_t size = 0;
    bool isEnum = false;
    std::string name;
    uint32_t hashCode = 0;
    const StaticTypeInfo* staticType = nullptr;
    std::string nameSpace;
    std::string description;
    std::vector<std::string> tags;
    // Record fields in declaration order, which is also the conversion order.
    std::vector<BindingFieldInfo> fields;
    // Enumerators, ordered by name.
    std::map<std::string, BindingEnumValueInfo, std::less<>> values;
    BindingRegistry* registry = nullptr;

    const BindingEnumValueInfo* FindValue(std::string_view valueName) const noexcept;
    // The first enumerator in name order that has this number.
    const BindingEnumValueInfo* FindValue(int32_t value) const noexcept;
};

struct BindingArgumentInfo {
    std::string name;
    uint32_t nameHash = 0;
    std::string description;
    BindingTypeIdentifier type;
    // The caller may omit it.
    bool optional = false;
    BindingTypeIdentifier describedType;
};

struct BindingFunctionInfo {
    std::string name;
    // In call order.
    std::vector<BindingArgumentInfo> arguments;
    // Code None for no result.
    BindingTypeIdentifier returns;
    std::vector<std::string> tags;
    std::string nameSpace;
    std::string description;
    std::string help;
    bool threadSafe = false;
    bool async = false;
    std::unique_ptr<BindingInvoker> invoker;
    // Filled by the registering code; not read by the binding layer.
    std::unordered_map<std::string, uint32_t> attributes;
    BindingRegistry* registry = nullptr;
    BindingTypeIdentifier describedReturns;
};

struct BindingEventInfo {
    std::string name;
    // The payload record.
    const BindingTypeInfo* type = nullptr;
    std::string nameSpace;
    std::string description;
    std::vector<std::string> tags;
};

}  // namespace Zarvo
