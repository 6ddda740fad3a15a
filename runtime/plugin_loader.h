// The load step of a plugin library's exported entry point, for any plugin derived from Plugin.
#pragma once

#include <memory>

#include "abi/plugin_abi.h"
#include "runtime/plugin.h"

namespace Zarvo::Client {

// Creates the plugin and loads it. When the core's version is refused, or loading fails, the block's outputs stay
// zero and the object is freed; nothing is thrown to the core.
template <class DerivedPlugin>
void LoadPlugin(PluginLoadBlock* block) noexcept {
    if (!block) return;
    block->entryTable = nullptr;
    block->instance = nullptr;
    block->shortName = nullptr;
    block->description = nullptr;
    try {
        std::unique_ptr<Plugin> plugin(new DerivedPlugin());
        if (plugin->Load(*block)) plugin.release();
    } catch (...) {
    }
}

}  // namespace Zarvo::Client
