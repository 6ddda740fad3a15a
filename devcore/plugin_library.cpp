// Plugins loaded from shared libraries: the entry point, the checks of the load block, Init and Destroy, and the
// plugin's live bytes before and after.
#include <algorithm>
#include <filesystem>

#include "devcore/loaded_plugin.h"
#include "platform/system_library.h"

namespace Zarvo::DevCore {
namespace {

// The plugin API version this core speaks.
constexpr uint32_t kCoreApiMajor = 18;
constexpr uint32_t kCoreApiMinor = 0;
constexpr uint32_t kCoreApiPatch = 0;
// Handles of loaded plugins start here, apart from the in-process one.
constexpr uint32_t kFirstPluginHandle = 0x101;
constexpr size_t kMaxShortName = 256;

std::string Version(uint32_t major, uint32_t minor, uint32_t patch) {
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch);
}

// A plugin runs on a core of the same major version whose minor and patch are not older than its own.
bool SpeaksThisCoresApi(uint32_t major, uint32_t minor, uint32_t patch) {
    return major == kCoreApiMajor && (minor < kCoreApiMinor || (minor == kCoreApiMinor && patch <= kCoreApiPatch));
}

std::string FileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// kiv-player-level-up.so, libkiv-player-level-up.so and kiv-player-level-up.dll all give load_kiv_player_level_up.
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
    const size_t breachesBefore = breaches.size();
    auto fail = [&](const std::string& message) {
        if (error) *error = message;
        Tell("  load    failed: " + message);
        return false;
    };
    // The library stays mapped after it is closed: a plugin's process-wide caches outlive its instances by design,
    // and a later load of the same library finds them again.
    std::string reason;
    void* library = Platform::OpenLibrary(libraryPath, reason);
    if (!library) return fail(reason);
    const std::string symbol = EntryPointName(libraryPath);
    auto load = reinterpret_cast<PluginLoadFunction>(Platform::LibrarySymbol(library, symbol.c_str()));
    std::string name = FileName(libraryPath);
    name.resize(std::min(name.size(), name.find('.')));
    if (!load) {
        Platform::CloseLibrary(library);
        return fail(libraryPath + ": no entry point " + symbol);
    }
    auto breach = [&](const std::string& text) {
        Breach(ContractBreach::Severity::Fail, nullptr, text);
        return fail(text);
    };

    PluginLoadBlock block{kCoreApiMajor, kCoreApiMinor, kCoreApiPatch, nullptr, nullptr, nullptr, nullptr};
    if (!RunPlugin(nullptr, name, "its entry point " + symbol, [&] { load(&block); })) {
        Platform::CloseLibrary(library);
        return fail(breaches.back().text);
    }
    // The block is packed: its fields are read by value.
    const PluginEntryTable* const entryTable = block.entryTable;
    void* const instance = block.instance;
    if (!entryTable || !instance) {
        Platform::CloseLibrary(library);
        return fail(name + " refused to load into a core of plugin API " +
                    Version(kCoreApiMajor, kCoreApiMinor, kCoreApiPatch));
    }
    const PluginEntryTable entries = *entryTable;
    // Without Destroy the instance cannot be freed; the library stays open for it.
    if (!entries.Destroy) return breach(name + "'s entry table has no Destroy");
    auto refuse = [&](const std::string& text) {
        RunPlugin(nullptr, name, "Destroy", [&] { entries.Destroy(instance); });
        Platform::CloseLibrary(library);
        return breach(text);
    };
    if (const std::optional<std::string_view> shortName = PlainText(block.shortName, kMaxShortName)) {
        name = *shortName;
    } else {
        return refuse(name + " gave " +
                      (block.shortName ? "a short name without a NUL within " + std::to_string(kMaxShortName) + " bytes"
                                       : "no short name") +
                      " in its load block");
    }
    if (!SpeaksThisCoresApi(block.versionMajor, block.versionMinor, block.versionPatch)) {
        const std::string text = name + " speaks plugin API " +
                                 Version(block.versionMajor, block.versionMinor, block.versionPatch) + ", this core " +
                                 Version(kCoreApiMajor, kCoreApiMinor, kCoreApiPatch);
        RunPlugin(nullptr, name, "Destroy", [&] { entries.Destroy(instance); });
        Platform::CloseLibrary(library);
        return fail(text);
    }
    if (!entries.Init || !entries.GetMemoryStats)
        return refuse(name + "'s entry table has no " + (entries.Init ? "GetMemoryStats" : "Init"));

    auto plugin = std::make_unique<LoadedPlugin>();
    plugin->name = name;
    plugin->library = library;
    plugin->entryTable = entryTable;
    plugin->entries = entries;
    plugin->instance = instance;
    plugin->table = {table_.api, this, plugin.get()};
    plugin->init = {&plugin->table.api, kFirstPluginHandle + nextPlugin_++};
    plugin->description = block.description;
    if (const PluginApiDescription* description = block.description) {
        std::vector<FunctionRoute> functions;
        std::string problem;
        {
            const Reading reading(*this, nullptr, name + "'s API description");
            problem = ReadFunctionTable(*description, functions);
        }
        if (!problem.empty()) return refuse(name + "'s API description " + problem);
        for (FunctionRoute& function : functions) plugin->routes.push_back({std::move(function), plugin.get()});
    }
    LoadedPlugin& loaded = *plugins_.emplace_back(std::move(plugin));
    Tell("  load    " + name + " " + Version(block.versionMajor, block.versionMinor, block.versionPatch) + " from " +
         libraryPath + ", " + std::to_string(loaded.routes.size()) + " functions");
    loaded.hasLiveBytesBeforeInit = LiveBytes(loaded, "before Init", loaded.liveBytesBeforeInit);
    bool started = false;
    RunPlugin(&loaded, name, "Init", [&] { started = entries.Init(instance, &loaded.init) != 0; });
    const auto failed = std::find_if(breaches.begin() + breachesBefore, breaches.end(), [](const ContractBreach& b) {
        return b.severity == ContractBreach::Severity::Fail;
    });
    if (!started || failed != breaches.end()) {
        const std::string message = failed != breaches.end() ? failed->text : name + ": Init failed";
        Unload(loaded);
        plugins_.pop_back();
        return fail(message);
    }
    return true;
}

bool TestCore::LiveBytes(const LoadedPlugin& plugin, const char* when, uint64_t& bytes) {
    PluginMemoryStats stats{};
    if (!RunPlugin(&plugin, plugin.name, std::string("GetMemoryStats ") + when,
                   [&] { plugin.entries.GetMemoryStats(plugin.instance, &stats); }))
        return false;
    bytes = stats.bytesAllocated - stats.bytesFreed;
    return true;
}

void TestCore::Unload(LoadedPlugin& plugin) {
    if (!plugin.setAside.empty()) {
        // Its instance may still be running a call that never returned: it is neither destroyed nor closed.
        std::erase_if(subscriptions, [&](const Subscription& s) { return s.pluginHandle == plugin.init.pluginHandle; });
        Tell("  unload  " + plugin.name + " skipped: " + plugin.setAside);
        return;
    }
    RunPlugin(&plugin, plugin.name, "Destroy", [&] { plugin.entries.Destroy(plugin.instance); });
    // Callbacks left subscribed would point into a plugin that is no more; the core drops them.
    std::vector<std::string> left;
    for (const Subscription& s : subscriptions)
        if (s.pluginHandle == plugin.init.pluginHandle) left.push_back(s.name);
    std::erase_if(subscriptions, [&](const Subscription& s) { return s.pluginHandle == plugin.init.pluginHandle; });
    if (!left.empty()) {
        std::string names;
        for (const std::string& name : left) names += (names.empty() ? "" : ", ") + name;
        Breach(ContractBreach::Severity::Warn, &plugin,
               plugin.name + " left " + std::to_string(left.size()) +
                   (left.size() == 1 ? " subscription" : " subscriptions") + " after Destroy (" + names +
                   "): the core dropped them");
    }
    // The counters are the library's, kept past the instance: only they are read, never the instance's state.
    uint64_t after = 0;
    if (plugin.hasLiveBytesBeforeInit && LiveBytes(plugin, "after Destroy", after) &&
        after > plugin.liveBytesBeforeInit)
        Breach(ContractBreach::Severity::Warn, &plugin,
               plugin.name + " holds " + Grouped(after - plugin.liveBytesBeforeInit) +
                   " bytes more after Destroy than before Init (" + Grouped(plugin.liveBytesBeforeInit) + " then " +
                   Grouped(after) + ")");
    Platform::CloseLibrary(plugin.library);
    Tell("  unload  " + plugin.name);
}

const PluginApiDescription* TestCore::ApiDescription(std::string_view plugin) const {
    for (const auto& loaded : plugins_)
        if (loaded->name == plugin) return loaded->description;
    return nullptr;
}

void TestCore::SetAside(std::string_view pluginName, std::string reason) {
    for (const auto& plugin : plugins_) {
        if (plugin->name != pluginName || !plugin->setAside.empty()) continue;
        plugin->setAside = std::move(reason);
        Tell("  aside   " + plugin->name + ": " + plugin->setAside);
        return;
    }
}

std::vector<std::string> TestCore::LoadedPlugins() const {
    std::vector<std::string> names;
    for (const auto& plugin : plugins_) names.push_back(plugin->name);
    return names;
}

}  // namespace Zarvo::DevCore
