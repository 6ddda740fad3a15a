// The target through which a running plugin hands its log entries to the core.
#pragma once

#include <memory>

#include "abi/plugin_abi.h"
#include "platform/log_target.h"

namespace Zarvo {

// Passes each entry's level and message text to the core's WriteLog; the line pattern is not applied.
class PluginLogTarget final : public LogTarget {
public:
    explicit PluginLogTarget(const PluginCoreApi* api) : api_(api) {}
    const char* GetName() const override;
    bool Write(const LogEntry& entry) override;

private:
    const PluginCoreApi* api_;
};

// The logger's start-up step of a plugin: unless a "PluginLogTarget" is attached already, detaches the console
// targets, lets every level through except the XTR category, and attaches a new PluginLogTarget for the core,
// held in holder (which destroys the one held before).
void StartPluginLogging(const PluginCoreApi* api, std::unique_ptr<PluginLogTarget>& holder);

}  // namespace Zarvo
