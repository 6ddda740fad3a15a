// Filling a bound function's argument values from the request: headers, path parameters, query, the core's
// argument items and the body.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "abi/plugin_abi.h"
#include "binding/descriptors.h"
#include "binding/property.h"

namespace Zarvo {

// Where an argument may come from (a binding keeps one code per argument).
enum ArgumentLocation : uint32_t {
    AnyLocation = 0,
    QueryLocation = 1,
    PathLocation = 2,
    HeaderLocation = 4,
    BodyLocation = 5,
};

using TextMap = std::unordered_map<std::string, std::string>;

// The text after the first "?" split at "&" into percent-decoded keys and values; a later key replaces an earlier.
TextMap ParseQuery(std::string_view text);

// For every argument that may come from a header, the value of the header named by its lower-cased name, recorded
// under the argument's own name.
TextMap CollectHeaderValues(const TextMap& headers, const BindingFunctionInfo& function,
                            const std::vector<uint32_t>& locations);

// Sizes and fills `values` (one per argument). Failures are set on `response` with the messages of argument binding;
// the body is decoded even after a failure and its failure replaces the earlier message.
void BindArguments(BindingResult& response, std::vector<BindingProperty>& values, const BindingFunctionInfo& function,
                   const std::vector<uint32_t>& locations, const PluginRequestRecord& request,
                   const TextMap& headerValues, const TextMap& pathParameters);

}  // namespace Zarvo
