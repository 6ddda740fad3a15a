// The plugin instances the core may call, and the handles by which it knows them.
//
// The core holds handles, never addresses: the instance of the load block, the context of every event
// subscription and the dispatch context of every exported function are numbers handed out once per process. A
// handle whose instance is gone, or one never handed out, finds nothing here instead of freed memory, so a core that
// calls Destroy twice, or calls anything after Destroy, is refused cleanly.
//
// Every call of the core into an instance enters through here and is counted while it runs. Destroy during a call
// (from the core's own loop inside Yield, or from another thread) only marks the instance: the outermost call still
// in flight finishes it when it returns, so no frame ever runs on a freed plugin. Calls that arrive once Destroy
// has started are refused.
#pragma once

#include <cstddef>
#include <span>

namespace Zarvo::Client {

class Plugin;

namespace InstanceRegistry {

enum class HandleState {
    Unknown,       // never handed out (or null)
    Live,          // an instance that takes calls
    ShuttingDown,  // its instance's Destroy has started, or the instance is gone
};

// Hands out the instance's handle and one handle per dispatch context, all or none. The handles stay valid until
// the instance is finished (Destroy) or destroyed otherwise.
void* Register(Plugin& plugin, std::span<void* const> dispatchContexts, std::span<void*> functionHandles);

// Forgets every handle of the instance; its destructor calls this, so that no handle ever names a freed plugin.
void Forget(const Plugin& plugin) noexcept;

// One call of the core into the instance a handle names, counted from construction to destruction when the
// handle is live. The outermost counted call of an instance whose Destroy started finishes it when it ends.
class Call {
public:
    explicit Call(void* handle) noexcept;
    ~Call();
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    HandleState State() const noexcept { return state_; }
    explicit operator bool() const noexcept { return state_ == HandleState::Live; }
    // Valid while this call lives, when the handle is live.
    Plugin& Instance() const noexcept { return *plugin_; }
    // The dispatch context a function handle stands for; null for the instance's own handle.
    void* DispatchContext() const noexcept { return dispatchContext_; }
    // Whether Destroy has started since this call began.
    bool ShutdownStarted() const noexcept;

private:
    HandleState state_ = HandleState::Unknown;
    Plugin* plugin_ = nullptr;
    void* dispatchContext_ = nullptr;
};

// The core's Destroy: marks the instance, and finishes it at once when no call of it is in flight (otherwise the
// outermost call does). A handle that names no live instance is ignored.
void Destroy(void* handle) noexcept;

// Live instances, for tests of this file.
size_t LiveInstanceCount() noexcept;

}  // namespace InstanceRegistry
}  // namespace Zarvo::Client
