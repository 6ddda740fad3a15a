// The watcher of each thread's crossings between the core and its plugins.
#include "devcore/plugin_call_watch.h"

namespace Zarvo::DevCore {
namespace {

thread_local PluginCallWatcher* threadWatcher = nullptr;

}  // namespace

void WatchThisThread(PluginCallWatcher* watcher) { threadWatcher = watcher; }

PluginCallWatcher* ThisThreadWatcher() { return threadWatcher; }

}  // namespace Zarvo::DevCore
