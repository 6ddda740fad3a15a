// The crossings between the core and its plugins, as a watcher on the crossing thread sees them: each time the core
// runs a plugin's code or reads what a plugin handed over, and each call of a plugin into the core. `serve` watches
// its core thread this way to find a plugin that does not return, and to keep a thread it gave up on from touching
// the core again.
#pragma once

#include <string_view>

namespace Zarvo::DevCore {

class PluginCallWatcher {
public:
    virtual ~PluginCallWatcher() = default;
    // Before the core runs a plugin's code (`inPluginCode`), or reads what a plugin handed over; `what` says which
    // ("its dispatch callback for GET /a"). Both texts stay valid only during the call.
    virtual void Entering(std::string_view plugin, std::string_view what, bool inPluginCode) = 0;
    // After that ended. May keep the thread here for good.
    virtual void Returned() = 0;
    // When a plugin calls the core, and when the core returns to it. CoreEntered may keep the thread here for good.
    virtual void CoreEntered() = 0;
    virtual void CoreLeft() = 0;
};

// The watcher of the calling thread's crossings; none unless set. The watcher must outlive the thread's crossings.
void WatchThisThread(PluginCallWatcher* watcher);
PluginCallWatcher* ThisThreadWatcher();

// Marks one call of a plugin into the core, from construction to destruction.
class CoreEntryScope {
public:
    CoreEntryScope() : watcher_(ThisThreadWatcher()) {
        if (watcher_) watcher_->CoreEntered();
    }
    ~CoreEntryScope() {
        if (watcher_) watcher_->CoreLeft();
    }
    CoreEntryScope(const CoreEntryScope&) = delete;
    CoreEntryScope& operator=(const CoreEntryScope&) = delete;

private:
    PluginCallWatcher* watcher_;
};

}  // namespace Zarvo::DevCore
