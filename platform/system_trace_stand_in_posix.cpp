// The in-process tracing service of the platforms without event tracing.
#include "platform/system_trace_stand_in.h"

#include <algorithm>
#include <mutex>

namespace Zarvo::Platform::TraceStandIn {
namespace {

struct Session {
    TraceGuid provider;
    uint8_t level;
    uint64_t matchAnyKeyword;
    uint64_t matchAllKeyword;
};

struct ActiveRegistration {
    TraceGuid provider;
    TraceHandle handle;
    TraceEnableCallback callback;
    void* context;
};

struct Control {
    TraceGuid provider;
    TraceEnableCallback callback;
    void* context;
};

struct State {
    std::mutex mutex;
    bool available = true;
    TraceHandle lastHandle = 0;
    std::vector<Session> sessions;
    std::vector<ActiveRegistration> active;
    std::vector<Registration> registrations;
    std::vector<TraceHandle> unregistrations;
    std::vector<WrittenEvent> writes;
};

State& SharedState() {
    static State instance;
    return instance;
}

// Callbacks run without the lock held, as the platform's own notifications may reach back into tracing.
uint32_t KIV_TRACE_CALL RegisterProvider(const TraceGuid* provider, TraceEnableCallback callback, void* context,
                                         TraceHandle* handle) {
    State& s = SharedState();
    std::unique_lock lock(s.mutex);
    TraceHandle assigned = ++s.lastHandle;
    s.active.push_back({*provider, assigned, callback, context});
    s.registrations.push_back({*provider, assigned});
    auto session = std::find_if(s.sessions.begin(), s.sessions.end(),
                                [&](const Session& candidate) { return candidate.provider == *provider; });
    if (session != s.sessions.end() && callback) {
        Session enable = *session;
        lock.unlock();
        callback(provider, TraceControlEnable, enable.level, enable.matchAnyKeyword, enable.matchAllKeyword, nullptr,
                 context);
    }
    *handle = assigned;
    return 0;
}

uint32_t KIV_TRACE_CALL WriteEvent(TraceHandle handle, const TraceEventDescriptor* descriptor, uint32_t itemCount,
                                   TraceDataItem* items) {
    WrittenEvent event{handle, *descriptor, {}};
    for (uint32_t i = 0; i < itemCount; ++i)
        event.items.emplace_back(reinterpret_cast<const char*>(static_cast<uintptr_t>(items[i].address)), items[i].size);
    State& s = SharedState();
    std::lock_guard lock(s.mutex);
    s.writes.push_back(std::move(event));
    return 0;
}

uint32_t KIV_TRACE_CALL UnregisterProvider(TraceHandle handle) {
    State& s = SharedState();
    std::lock_guard lock(s.mutex);
    std::erase_if(s.active, [&](const ActiveRegistration& registration) { return registration.handle == handle; });
    s.unregistrations.push_back(handle);
    return 0;
}

}  // namespace

TraceServices Services() { return {RegisterProvider, WriteEvent, UnregisterProvider}; }

bool Available() {
    State& s = SharedState();
    std::lock_guard lock(s.mutex);
    return s.available;
}

void Reset() {
    State& s = SharedState();
    std::lock_guard lock(s.mutex);
    s.available = true;
    s.sessions.clear();
    s.active.clear();
    s.registrations.clear();
    s.unregistrations.clear();
    s.writes.clear();
}

void SetAvailable(bool available) {
    State& s = SharedState();
    std::lock_guard lock(s.mutex);
    s.available = available;
}

void SendControl(const TraceGuid& provider, uint32_t controlCode, uint8_t level, uint64_t matchAnyKeyword,
                 uint64_t matchAllKeyword) {
    State& s = SharedState();
    std::vector<Control> receivers;
    {
        std::lock_guard lock(s.mutex);
        if (controlCode == TraceControlEnable || controlCode == TraceControlDisable)
            std::erase_if(s.sessions, [&](const Session& session) { return session.provider == provider; });
        if (controlCode == TraceControlEnable) s.sessions.push_back({provider, level, matchAnyKeyword, matchAllKeyword});
        for (const ActiveRegistration& registration : s.active)
            if (registration.provider == provider && registration.callback)
                receivers.push_back({provider, registration.callback, registration.context});
    }
    for (Control& receiver : receivers)
        receiver.callback(&receiver.provider, controlCode, level, matchAnyKeyword, matchAllKeyword, nullptr,
                          receiver.context);
}

std::vector<Registration> Registrations() {
    State& s = SharedState();
    std::lock_guard lock(s.mutex);
    return s.registrations;
}

std::vector<TraceHandle> Unregistrations() {
    State& s = SharedState();
    std::lock_guard lock(s.mutex);
    return s.unregistrations;
}

std::vector<WrittenEvent> Writes() {
    State& s = SharedState();
    std::lock_guard lock(s.mutex);
    return s.writes;
}

}  // namespace Zarvo::Platform::TraceStandIn
