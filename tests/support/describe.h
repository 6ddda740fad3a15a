// A compact, kind-tagged spelling of a property tree for test expectations:
// ~ Empty, true/false, i-5 Signed, u5 Unsigned, f5.5 Float, "x" String, b:0aff Blob, e7 Enum, [..] and {k:..}.
#pragma once

#include <cstdio>
#include <string>

#include "binding/property.h"

namespace Zarvo::Testing {

inline std::string Describe(const BindingProperty& node) {
    using Kind = BindingProperty::Kind;
    char buffer[64];
    switch (node.GetKind()) {
        case Kind::Empty: return "~";
        case Kind::Bool: return node.GetBool(false) ? "true" : "false";
        case Kind::Signed: return "i" + std::to_string(node.GetSigned(0));
        case Kind::Unsigned: return "u" + std::to_string(node.GetUnsigned(0));
        case Kind::Float:
            std::snprintf(buffer, sizeof buffer, "f%.17g", node.GetDouble(0));
            return buffer;
        case Kind::String: return "\"" + std::string(node.GetString()) + "\"";
        case Kind::Blob: {
            std::string text = "b:";
            for (uint8_t byte : node.GetBlob()) {
                std::snprintf(buffer, sizeof buffer, "%02x", byte);
                text += buffer;
            }
            return text;
        }
        case Kind::Enum: return "e" + std::to_string(node.EnumValue());
        case Kind::Collection: {
            std::string text = "[";
            for (const auto& element : node.Elements()) text += (text.size() > 1 ? "," : "") + Describe(element);
            return text + "]";
        }
        case Kind::Structure: {
            std::string text = "{";
            for (const auto& [key, child] : node.Members())
                text += (text.size() > 1 ? "," : "") + std::string(key.View()) + ":" + Describe(child);
            return text + "}";
        }
    }
    return "?";
}

// The tree when the result is ok, else "error: <message>".
inline std::string Describe(const BindingResult& result) {
    return result.ok ? Describe(result.value) : "error: " + std::string(result.ErrorMessage());
}

}  // namespace Zarvo::Testing
