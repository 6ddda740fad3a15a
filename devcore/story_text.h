// Small pieces of the story's lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "binding/property.h"
#include "devcore/test_core.h"

namespace Zarvo::DevCore {

// "OKAY", "WARN", "ERROR", "ALWAYS", or the number.
std::string LogLevelName(int32_t level);

// The value as compact JSON, cut after `limit` bytes with "..." so that a story line stays readable.
std::string ValueForStory(const BindingProperty& value, size_t limit = 400);

// An event's payload; a resource event {uri, eventType, data} as its type, URI and data: Create /a/b {...}.
std::string EventPayloadForStory(const BindingProperty& payload);

// A request body: its text, cut after 400 bytes, when it is text (line breaks written \n), else its size; with its
// content type unless that is JSON.
std::string BodyForStory(std::string_view body, std::string_view contentType);

// A call's result: its status and value, or its status and {"error": text}.
std::string CallResultForStory(const CallResult& result);

}  // namespace Zarvo::DevCore
