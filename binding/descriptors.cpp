#include "binding/descriptors.h"

namespace Zarvo {

const BindingEnumValueInfo* BindingTypeInfo::FindValue(std::string_view valueName) const noexcept {
    const auto found = values.find(valueName);
    return found == values.end() ? nullptr : &found->second;
}

const BindingEnumValueInfo* BindingTypeInfo::FindValue(int32_t value) const noexcept {
    for (const auto& [valueName, info] : values)
        if (info.value == value) return &info;
    return nullptr;
}

}  // namespace Zarvo
