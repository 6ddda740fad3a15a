// The plugin's exported entry point.
#include "abi/plugin_abi.h"

#include "platform/event_tracing.h"
#include "platform/memory_stats.h"

namespace {

constexpr uint32_t kApiMajor = 18, kApiMinor = 0, kApiPatch = 0;

uint8_t KIV_CDECL Init(void*, const PluginInitBlock*) { return 1; }

void KIV_CDECL GetMemoryStats(void*, PluginMemoryStats* stats) { Zarvo::FillMemoryStats(stats); }

// Registers the tracing providers when the library is loaded and unregisters them when it is unloaded.
struct EventTracingForLibraryLifetime {
    EventTracingForLibraryLifetime() { Zarvo::StartEventTracing(); }
    ~EventTracingForLibraryLifetime() { Zarvo::StopEventTracing(); }
} eventTracing;

void KIV_CDECL Destroy(void*) {}

const PluginEntryTable entryTable{Init, GetMemoryStats, Destroy};

bool IsCompatible(uint32_t major, uint32_t minor, uint32_t patch) {
    return major == kApiMajor && (minor > kApiMinor || (minor == kApiMinor && patch >= kApiPatch));
}

}  // namespace

extern "C" KIV_EXPORT void KIV_CDECL load_kiv_player_level_up(PluginLoadBlock* block) {
    if (!IsCompatible(block->versionMajor, block->versionMinor, block->versionPatch)) return;
    block->versionMajor = kApiMajor;
    block->versionMinor = kApiMinor;
    block->versionPatch = kApiPatch;
    block->entryTable = &entryTable;
    block->instance = const_cast<PluginEntryTable*>(&entryTable);
    block->shortName = "kiv-player-level-up";
    block->description = nullptr;
}
