// Reading the payload of an event the core delivers into a native record.
#pragma once

#include <string>

#include "abi/plugin_abi.h"
#include "binding/conversion.h"
#include "binding/registry.h"
#include "formats/plugin_value.h"

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

}  // namespace Zarvo::Client
