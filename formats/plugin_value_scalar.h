// The bool and number kinds of a tree's node written into a core value, shared by the value writers.
#pragma once

#include "abi/plugin_abi.h"
#include "binding/property.h"

namespace Zarvo {

// Writes a Bool, Signed, Unsigned or Float node into `value`; false, with `value` untouched, for any other kind.
inline bool WriteBoolOrNumber(PluginValue& value, const BindingProperty& node) noexcept {
    switch (node.GetKind()) {
        case BindingProperty::Kind::Bool:
            value.kind = PluginValueBool;
            value.payload.boolean = node.GetBool(false) ? 1 : 0;
            return true;
        case BindingProperty::Kind::Signed:
            value.kind = PluginValueSigned;
            value.payload.i64 = node.GetSigned(0);
            return true;
        case BindingProperty::Kind::Unsigned:
            value.kind = PluginValueUnsigned;
            value.payload.u64 = node.GetUnsigned(0);
            return true;
        case BindingProperty::Kind::Float:
            value.kind = PluginValueFloat;
            value.payload.f64 = node.GetDouble(0);
            return true;
        default: return false;
    }
}

}  // namespace Zarvo
