// The functions a plugin's API description lets the core call, read with the checks of the contract: the table is an
// array of functionCount entries that are also chained, each entry with its dispatch callback, path template and
// method.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "abi/plugin_abi.h"
#include "devcore/path_template.h"

namespace Zarvo::DevCore {

struct FunctionRoute {
    const ApiFunctionEntry* entry;
    PluginDispatchCallback dispatch;
    void* dispatchContext;
    std::string pathTemplate;  // the entry's path, or the function's name when the entry has none
    PathTemplate path;
    uint32_t method;         // 0 accepts every method
    std::string methodName;  // compared when the method is 8
};

// Reads the entries that have a dispatch callback (an entry without one cannot be called and is passed over). Empty
// when the description keeps the contract, else what is wrong, to follow "<plugin>'s API description ": "chains
// function entry 1 to itself".
std::string ReadFunctionTable(const PluginApiDescription& description, std::vector<FunctionRoute>& routes);

}  // namespace Zarvo::DevCore
