// What the test core keeps of a plugin loaded from a library: its library, instance and core table, and the routes
// of its API description; and how the core runs a plugin's code.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "devcore/function_table.h"
#include "devcore/plugin_text.h"
#include "devcore/test_core.h"

namespace Zarvo::DevCore {

// One function of a loaded plugin that the core can call.
struct TestCore::Route {
    FunctionRoute function;
    LoadedPlugin* plugin;
};

struct TestCore::LoadedPlugin {
    std::string name;
    void* library = nullptr;
    const PluginEntryTable* entryTable = nullptr;
    PluginEntryTable entries{};  // read once from the plugin's table
    void* instance = nullptr;
    ApiTable table{};
    PluginInitBlock init{};  // the plugin keeps its address
    const PluginApiDescription* description = nullptr;  // as the load block handed it over; may be null
    std::vector<Route> routes;
    bool hasLiveBytesBeforeInit = false;
    uint64_t liveBytesBeforeInit = 0;
    // Why the core no longer calls this plugin (it did not return from a call, say); empty while it does.
    std::string setAside;
    // What the plugin handed the core while the core serves its current outermost call, against the bounds of
    // kMaxStepCalls, kMaxStepValues and kMaxStepBytes; cleared when that call ends.
    struct Intake {
        size_t calls = 0;
        size_t values = 0;
        size_t bytes = 0;
        bool over = false;  // a bound was passed: the plugin's calls are ignored until the call ends
    };
    mutable Intake intake;
    // Calls the plugin made while the core ran none of its code on the calling thread (from a thread of its own,
    // say), counted by any thread, and the first one's operation; the core's thread tells and clears them.
    mutable std::atomic<uint64_t> strayCalls{0};
    mutable std::atomic<const char*> strayOperation{nullptr};
};

template <class Code>
bool TestCore::RunPlugin(const LoadedPlugin* plugin, std::string name, std::string what, Code&& code) {
    PushActivity(plugin, name, what, false);
    bool returned = true;
    std::string reason;
    try {
        code();
    } catch (const std::exception& thrown) {
        returned = false;
        reason = ": " + std::string(PlainText(thrown.what(), 1024).value_or("(an unreadable message)"));
    } catch (...) {
        returned = false;
    }
    PopActivity();
    if (!returned) Breach(ContractBreach::Severity::Fail, plugin, name + " threw an exception out of " + what + reason);
    return returned;
}

}  // namespace Zarvo::DevCore
