// The library's event-tracing providers: registration at load, enable state, the thread-name event.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>

#include "platform/system_trace.h"

namespace Zarvo {

// What decides whether one event of a provider is enabled.
struct TraceEventFilter {
    uint8_t level;
    uint64_t keyword;  // 0: the event has no keyword
};

// A provider's enable state, as the last enable notification left it. Only the enable callback writes it; the
// event bits are read by writers on any thread.
struct TraceEnableContext {
    std::span<const TraceEventFilter> events;
    bool enabled = false;
    uint8_t level = 0;
    uint64_t matchAnyKeyword = 0;
    uint64_t matchAllKeyword = 0;
    std::atomic<uint32_t> eventBits{0};  // bit i: events[i] is enabled
};

struct TraceProvider {
    Platform::TraceGuid id;
    Platform::TraceHandle handle;
    TraceEnableContext context;
};

inline constexpr Platform::TraceEventDescriptor kThreadNameEvent{103, 0, 0, 0, 14, 2, 1};

// Called when the library is loaded: registers the providers in order and, when the thread-name event is
// enabled, names the current thread "Main thread". A provider already registered is left as it is.
void StartEventTracing();
// Called when the library is unloaded: unregisters the providers in reverse order.
void StopEventTracing();

// The four providers in registration order; the thread-name event belongs to the second.
std::span<const TraceProvider, 4> TraceProviders();

// An event is enabled when its level is not above the enabling level (0 enables every level) and, if it has a
// keyword, that keyword shares a bit with the any-mask and holds every bit of the all-mask.
bool TraceEventEnabled(const TraceEventFilter& event, uint8_t level, uint64_t matchAnyKeyword,
                       uint64_t matchAllKeyword);

// Writes the thread-name event when it is enabled; a null name is sent as "NULL".
void WriteThreadNameEvent(uint32_t threadId, const char* name);

}  // namespace Zarvo
