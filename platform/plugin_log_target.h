// The target through which running plugins hand their log entries to a core: one for the process, shared by every
// initialised instance, attached while any of them lives.
#pragma once

#include <vector>

#include "abi/plugin_abi.h"
#include "platform/allocation.h"
#include "platform/log_target.h"

namespace Zarvo {

// Passes each entry's level and message text to the WriteLog of one core: of the oldest instance still logging whose
// core has a WriteLog. The line pattern is not applied.
class PluginLogTarget final : public LogTarget {
public:
    const char* GetName() const override;
    // False when no core of the list can take the entry.
    bool Write(const LogEntry& entry) override;

    // The cores, in the order their instances started logging; the owner is the instance's own key. A second
    // start of an owner replaces its core. Both take the target's lock.
    void AddCore(const void* owner, const PluginCoreApi* api);
    // Returns whether cores remain.
    bool RemoveCore(const void* owner);

private:
    struct Core {
        const void* owner;
        const PluginCoreApi* api;
    };
    std::vector<Core, RuntimeAllocator<Core>> cores_;
};

// The logger's start-up step of an instance (owner is its key): unless the process's PluginLogTarget is attached
// already, detaches the console targets, lets every level through except the XTR category, and attaches the target
// (created on first need); then the owner's core joins the target's cores.
void StartPluginLogging(const void* owner, const PluginCoreApi* api);
// The owner's core leaves the target, before the core may go; the last one to leave detaches and destroys the
// target. An owner that never started does nothing.
void StopPluginLogging(const void* owner);
// The process's target while one exists, else null; valid until the last owner stops.
PluginLogTarget* CurrentPluginLogTarget();

}  // namespace Zarvo
