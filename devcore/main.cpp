// Loads a plugin library through its C entry point, as the core does, and reports the outcome.
#include <dlfcn.h>

#include <cstdio>

#include "abi/plugin_abi.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: devcore PLUGIN.so\n");
        return 2;
    }
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "devcore: %s\n", dlerror());
        return 1;
    }
    auto load = reinterpret_cast<PluginLoadFunction>(dlsym(library, "load_kiv_player_level_up"));
    if (!load) {
        std::fprintf(stderr, "devcore: no entry point load_kiv_player_level_up\n");
        return 1;
    }
    PluginLoadBlock block{18, 0, 0, nullptr, nullptr, nullptr, nullptr};
    load(&block);
    if (!block.entryTable) {
        std::printf("plugin refused to load (core API 18.0.0)\n");
        return 1;
    }
    std::printf("loaded \"%s\": plugin API %u.%u.%u\n", block.shortName, block.versionMajor, block.versionMinor,
                block.versionPatch);
    PluginMemoryStats stats{};
    block.entryTable->GetMemoryStats(block.instance, &stats);
    std::printf("memory: %llu allocations, %llu bytes\n", static_cast<unsigned long long>(stats.allocations),
                static_cast<unsigned long long>(stats.bytesAllocated));
    block.entryTable->Destroy(block.instance);
    dlclose(library);
    return 0;
}
