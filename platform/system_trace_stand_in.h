// Where the platform has no event tracing (all but Windows): an in-process tracing service that records what
// providers do and lets tests play the part of a tracing session.
#pragma once

#include <string>
#include <vector>

#include "platform/system_trace.h"

namespace Zarvo::Platform::TraceStandIn {

struct Registration {
    TraceGuid provider;
    TraceHandle handle;
};

struct WrittenEvent {
    TraceHandle handle;
    TraceEventDescriptor descriptor;
    std::vector<std::string> items;  // the bytes of each payload item
};

TraceServices Services();
bool Available();

// Forgets every record, session and registration, and makes the services available again.
void Reset();
void SetAvailable(bool available);
// Sends a control code to every registration of the provider, as a tracing session does. An enable is also
// sent to later registrations of the provider, until a disable ends it.
void SendControl(const TraceGuid& provider, uint32_t controlCode, uint8_t level, uint64_t matchAnyKeyword,
                 uint64_t matchAllKeyword);

std::vector<Registration> Registrations();
std::vector<TraceHandle> Unregistrations();
std::vector<WrittenEvent> Writes();

}  // namespace Zarvo::Platform::TraceStandIn
