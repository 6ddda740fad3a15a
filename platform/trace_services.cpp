#include "platform/trace_services.h"

#ifdef _WIN32
#include <windows.h>
#include <evntprov.h>
#else
#include "platform/trace_stand_in.h"
#endif

namespace Zarvo::Platform {

#ifdef _WIN32

static_assert(sizeof(TraceGuid) == sizeof(GUID));
static_assert(sizeof(TraceEventDescriptor) == sizeof(EVENT_DESCRIPTOR));
static_assert(sizeof(TraceDataItem) == sizeof(EVENT_DATA_DESCRIPTOR));
static_assert(sizeof(TraceHandle) == sizeof(REGHANDLE));

namespace {

template <class Function>
Function Lookup(HMODULE library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

}  // namespace

// The library stays loaded for the life of the process, like the system library it is.
bool LoadTraceServices(TraceServices& services) {
    services = {};
    HMODULE library = LoadLibraryA("Advapi32.dll");
    if (!library) return false;
    services.registerProvider = Lookup<TraceRegisterFunction>(library, "EventRegister");
    services.write = Lookup<TraceWriteFunction>(library, "EventWrite");
    services.unregisterProvider = Lookup<TraceUnregisterFunction>(library, "EventUnregister");
    return true;
}

#else

bool LoadTraceServices(TraceServices& services) {
    services = {};
    if (!TraceStandIn::Available()) return false;
    services = TraceStandIn::Services();
    return true;
}

#endif

}  // namespace Zarvo::Platform
