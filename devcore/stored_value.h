// The values that serve's store takes from HTTP bodies: JSON, YAML or MessagePack, named by the Content-Type.
#pragma once

#include <string_view>

#include "binding/property.h"

namespace Zarvo::DevCore {

enum class StoredValueFormat { Refused, Json, Yaml, MessagePack };

// The format a Content-Type names, by its media type (before any parameter, compared without case):
// application/json and application/*+json; application/yaml, application/x-yaml, text/yaml and text/x-yaml;
// application/msgpack, application/x-msgpack and application/vnd.msgpack. Every other type is refused, none too:
// text/plain and the form types are what a web page of any site may send without asking first.
StoredValueFormat StoredValueFormatOf(std::string_view contentType);

// The body's value in that format; a text with a zero byte, or more than one MessagePack value, is refused.
BindingResult ReadStoredValue(StoredValueFormat format, std::string_view body);

}  // namespace Zarvo::DevCore
