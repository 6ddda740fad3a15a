// Reading the payload of an event the core delivers into a native record.
#pragma once

#include <string>

#include "abi/plugin_abi.h"
#include "binding/conversion.h"
#include "binding/registry.h"
#include "formats/plugin_value.h"
#include "runtime/runtime_types.h"

namespace Zarvo::Client {

// From core values into a property, then into the record; false when either step fails.
template <class T>
bool DecodeEventPayload(const PluginValue& payload, T& out, const BindingRegistry& registry) {
    BindingProperty property;
    std::string error;
    if (!FromPluginValue(error, property, payload, "<result>")) return false;
    BindingResult result;
    ConvertFromProperty(result, out, property, registry);
    return result.ok;
}

// A resource event's data is taken out of the payload's tree rather than copied: the members around it are read
// into the record first, then the tree becomes the data.
inline bool DecodeResourceEvent(const PluginValue& payload, PluginResourceEvent& out, const BindingRegistry& registry) {
    BindingProperty property;
    std::string error;
    if (!FromPluginValue(error, property, payload, "<result>")) return false;
    BindingProperty around;
    if (property.GetKind() == BindingProperty::Kind::Structure) {
        around.MakeStructure();
        for (const auto& [key, member] : property.Members()) {
            if (key.View() != kResourceEventDataField) around.ChildForWrite(key.View()) = member;
        }
    }
    BindingResult result;
    ConvertFromProperty(result, out, around, registry);
    if (!result.ok) return false;
    property.ReplaceWithMember(kResourceEventDataField);
    out.data = std::move(property);
    return true;
}

}  // namespace Zarvo::Client
