// The load step of a plugin library's exported entry point, for any plugin derived from Plugin.
#pragma once

#include <memory>

#include "abi/plugin_abi.h"
#include "runtime/plugin.h"

namespace Zarvo::Client {

// Creates the plugin and loads it; returns it, or null. When the core's version is refused, or loading fails, the
// block's outputs stay zero and the object is freed; nothing is thrown to the core. The plugin is the core's from
// then on: it ends through the entry table's Destroy.
template <class DerivedPlugin>
DerivedPlugin* LoadPlugin(PluginLoadBlock* block) noexcept {
    if (!block) return nullptr;
    block->entryTable = nullptr;
    block->instance = nullptr;
    block->shortName = nullptr;
    block->description = nullptr;
    try {
        std::unique_ptr<DerivedPlugin> plugin(new DerivedPlugin());
        if (plugin->Load(*block)) return plugin.release();
    } catch (...) {
    }
    return nullptr;
}

}  // namespace Zarvo::Client
