// What the test core keeps of a plugin loaded from a library: its library, instance and core table, and the routes
// of its API description.
#pragma once

#include <string>
#include <vector>

#include "devcore/test_core.h"
#include "remoting/route.h"

namespace Zarvo::DevCore {

// One function of a loaded plugin that the core can call.
struct TestCore::Route {
    const ApiFunctionEntry* entry;
    RemotingRoute pattern;  // the entry's path template, or the function's name when the entry has no path
    uint32_t method;        // 0 accepts every method
    std::string methodName;  // compared when the method is 8
    LoadedPlugin* plugin;
};

struct TestCore::LoadedPlugin {
    std::string name;
    void* library = nullptr;
    const PluginEntryTable* entryTable = nullptr;
    void* instance = nullptr;
    ApiTable table{};
    PluginInitBlock init{};  // the plugin keeps its address
    const PluginApiDescription* description = nullptr;  // as the load block handed it over; may be null
    std::vector<Route> routes;
};

}  // namespace Zarvo::DevCore
