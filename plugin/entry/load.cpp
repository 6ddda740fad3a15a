// The plugin's exported entry point.
#include "abi/plugin_abi.h"
#include "platform/event_tracing.h"
#include "plugin/player_level_up_plugin.h"
#include "runtime/plugin_loader.h"

namespace {

// Registers the tracing providers when the library is loaded and unregisters them when it is unloaded.
struct EventTracingForLibraryLifetime {
    EventTracingForLibraryLifetime() { Zarvo::StartEventTracing(); }
    ~EventTracingForLibraryLifetime() { Zarvo::StopEventTracing(); }
} eventTracing;

}  // namespace

extern "C" KIV_EXPORT void KIV_CDECL load_kiv_player_level_up(PluginLoadBlock* block) {
    Zarvo::Client::LoadPlugin<Zarvo::Client::PlayerLevelUp::PlayerLevelUpPlugin>(block);
}
