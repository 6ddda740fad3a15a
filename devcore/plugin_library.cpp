// Plugins loaded from shared libraries: the entry point, the checks of the load block, Init and Destroy.
#include <dlfcn.h>

#include <algorithm>

#include "devcore/loaded_plugin.h"

namespace Zarvo::DevCore {
namespace {

constexpr uint32_t kCoreApiMajor = 18;
constexpr uint32_t kCoreApiMinor = 0;
constexpr uint32_t kCoreApiPatch = 0;
// Handles of loaded plugins start here, apart from the in-process one.
constexpr uint32_t kFirstPluginHandle = 0x101;

std::string Version(uint32_t major, uint32_t minor, uint32_t patch) {
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch);
}

std::string FileName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// kiv-player-level-up.so and libkiv-player-level-up.so both give load_kiv_player_level_up.
std::string EntryPointName(const std::string& path) {
    std::string name = FileName(path);
    if (name.starts_with("lib")) name.erase(0, 3);
    name.resize(std::min(name.size(), name.find('.')));
    std::replace(name.begin(), name.end(), '-', '_');
    return "load_" + name;
}

}  // namespace

bool TestCore::Load(const std::string& libraryPath, std::string* error) {
    Entry entry(*this);
    auto fail = [&](const std::string& message) {
        if (error) *error = message;
        Tell("  load    failed: " + message);
        return false;
    };
    // The library stays mapped after dlclose: a plugin's process-wide caches outlive its instances by design, and
    // a later load of the same library finds them again.
    void* library = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!library) {
        const char* reason = dlerror();
        return fail(reason ? std::string(reason) : libraryPath + ": cannot be opened");
    }
    const std::string symbol = EntryPointName(libraryPath);
    auto load = reinterpret_cast<PluginLoadFunction>(dlsym(library, symbol.c_str()));
    if (!load) {
        dlclose(library);
        return fail(libraryPath + ": no entry point " + symbol);
    }

    PluginLoadBlock block{kCoreApiMajor, kCoreApiMinor, kCoreApiPatch, nullptr, nullptr, nullptr, nullptr};
    load(&block);
    // The block is packed: its fields are read by value.
    const PluginEntryTable* const entryTable = block.entryTable;
    void* const instance = block.instance;
    const char* const shortName = block.shortName;
    const std::string name = shortName ? shortName : FileName(libraryPath);
    if (!entryTable || !instance) {
        dlclose(library);
        return fail(name + " refused to load into a core of plugin API " +
                    Version(kCoreApiMajor, kCoreApiMinor, kCoreApiPatch));
    }
    if (!entryTable->Init || !entryTable->Destroy) {
        // Without Destroy the instance cannot be freed; the library stays open for it.
        return fail(name + ": the entry table lacks Init or Destroy");
    }
    if (block.versionMajor != kCoreApiMajor) {
        entryTable->Destroy(instance);
        dlclose(library);
        return fail(name + " speaks plugin API " + Version(block.versionMajor, block.versionMinor, block.versionPatch) +
                    ", this core " + Version(kCoreApiMajor, kCoreApiMinor, kCoreApiPatch));
    }

    auto plugin = std::make_unique<LoadedPlugin>();
    plugin->name = name;
    plugin->library = library;
    plugin->entryTable = entryTable;
    plugin->instance = instance;
    plugin->table = {table_.api, this, plugin.get()};
    plugin->init = {&plugin->table.api, kFirstPluginHandle + nextPlugin_++};
    plugin->description = block.description;
    if (const PluginApiDescription* description = block.description) {
        for (const ApiFunctionEntry* function = description->functions; function; function = function->next) {
            if (!function->dispatch) continue;  // nothing to call it through
            const char* const path = function->path;
            const char* const functionName = function->function.name;
            const char* const methodName = function->methodName;
            const std::string_view pathTemplate = path && *path ? path : functionName ? functionName : "";
            plugin->routes.push_back(
                {function, RemotingRoute(nullptr, nullptr, pathTemplate), function->method,
                 methodName ? methodName : "", plugin.get()});
        }
    }
    LoadedPlugin& loaded = *plugins_.emplace_back(std::move(plugin));
    Tell("  load    " + name + " " + Version(block.versionMajor, block.versionMinor, block.versionPatch) + " from " +
         libraryPath + ", " + std::to_string(loaded.routes.size()) + " functions");
    if (!entryTable->Init(instance, &loaded.init)) {
        Unload(loaded);
        plugins_.pop_back();
        return fail(name + ": Init failed");
    }
    return true;
}

void TestCore::Unload(LoadedPlugin& plugin) {
    plugin.entryTable->Destroy(plugin.instance);
    // Callbacks left subscribed would point into the closed library.
    std::erase_if(subscriptions, [&](const Subscription& s) { return s.pluginHandle == plugin.init.pluginHandle; });
    dlclose(plugin.library);
    Tell("  unload  " + plugin.name);
}

const PluginApiDescription* TestCore::ApiDescription(std::string_view plugin) const {
    for (const auto& loaded : plugins_)
        if (loaded->name == plugin) return loaded->description;
    return nullptr;
}

std::vector<std::string> TestCore::LoadedPlugins() const {
    std::vector<std::string> names;
    for (const auto& plugin : plugins_) names.push_back(plugin->name);
    return names;
}

}  // namespace Zarvo::DevCore
