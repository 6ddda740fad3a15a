// The description of the plugin's functions, types and events handed to the core at load: plain C tables built from
// the registry and the remoting bindings. Every table is an array whose records are also chained by their first
// field. The texts belong to the descriptors and bindings; the tables belong to this object and never move.
#pragma once

#include <vector>

#include "abi/plugin_abi.h"

namespace Zarvo {

class HttpBaseTransport;

class ApiDescription {
public:
    // Also creates the dispatch context of every exported function in the transport.
    explicit ApiDescription(HttpBaseTransport& transport);
    ApiDescription(const ApiDescription&) = delete;
    ApiDescription& operator=(const ApiDescription&) = delete;

    const PluginApiDescription& Tables() const noexcept { return tables_; }

private:
    // Each vector is sized once, before any pointer into it is taken.
    std::vector<ApiFunctionRecord> functions_;
    std::vector<ApiArgumentRecord> arguments_;
    std::vector<ApiTypeRecord> types_;
    std::vector<ApiFieldRecord> fields_;
    std::vector<ApiEnumValueRecord> enumValues_;
    std::vector<ApiEventRecord> events_;
    std::vector<ApiFunctionEntry> entries_;
    std::vector<ApiArgumentLocationRecord> locations_;
    std::vector<const char*> tags_;
    PluginApiDescription tables_{};
};

}  // namespace Zarvo
