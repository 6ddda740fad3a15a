// The API description as the core receives it: the transport's tables, except that every function entry calls the
// runtime's dispatch callback with a handle as its context, so that a call reaches the transport only while the
// instance lives.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "abi/plugin_abi.h"
#include "platform/allocation.h"

namespace Zarvo::Client {

class ExportedDescription {
public:
    ExportedDescription() = default;
    ExportedDescription(const ExportedDescription&) = delete;
    ExportedDescription& operator=(const ExportedDescription&) = delete;

    // Copies the function entries of the transport's tables (which must outlive this object) and refers to their
    // type and event records.
    void CopyFrom(const PluginApiDescription& tables);
    // The dispatch context of every copied entry, in entry order.
    std::vector<void*> DispatchContexts() const;
    // Gives every entry its handle (in entry order) as dispatch context and the callback as dispatch routine.
    void CallThrough(std::span<void* const> handles, PluginDispatchCallback dispatch);

    // Valid, and in place, until this object is destroyed or copied into again.
    const PluginApiDescription& Tables() const noexcept { return tables_; }

private:
    std::vector<ApiFunctionEntry, RuntimeAllocator<ApiFunctionEntry>> entries_;
    PluginApiDescription tables_{};
};

}  // namespace Zarvo::Client
