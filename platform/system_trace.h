// The portable face of the platform's event-tracing services (registration, writing, unregistration): the
// functions of Advapi32.dll on Windows, the in-process stand-in elsewhere.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define KIV_TRACE_CALL __stdcall
#else
#define KIV_TRACE_CALL
#endif

namespace Zarvo::Platform {

// The layouts of the platform's GUID, EVENT_DESCRIPTOR and EVENT_DATA_DESCRIPTOR.
struct TraceGuid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
    friend bool operator==(const TraceGuid&, const TraceGuid&) = default;
};

struct TraceEventDescriptor {
    uint16_t id;
    uint8_t version;
    uint8_t channel;
    uint8_t level;
    uint8_t opcode;
    uint16_t task;
    uint64_t keyword;
};

struct TraceDataItem {
    uint64_t address;
    uint32_t size;
    uint32_t reserved;
};

using TraceHandle = uint64_t;

// Control codes of an enable notification.
enum : uint32_t { TraceControlDisable = 0, TraceControlEnable = 1, TraceControlCaptureState = 2 };

using TraceEnableCallback = void(KIV_TRACE_CALL*)(const TraceGuid* provider, uint32_t controlCode, uint8_t level,
                                                  uint64_t matchAnyKeyword, uint64_t matchAllKeyword, void* filter,
                                                  void* context);
using TraceRegisterFunction = uint32_t(KIV_TRACE_CALL*)(const TraceGuid* provider, TraceEnableCallback callback,
                                                        void* context, TraceHandle* handle);
using TraceWriteFunction = uint32_t(KIV_TRACE_CALL*)(TraceHandle handle, const TraceEventDescriptor* descriptor,
                                                     uint32_t itemCount, TraceDataItem* items);
using TraceUnregisterFunction = uint32_t(KIV_TRACE_CALL*)(TraceHandle handle);

struct TraceServices {
    TraceRegisterFunction registerProvider;
    TraceWriteFunction write;
    TraceUnregisterFunction unregisterProvider;
};

// Finds the services; false when the platform cannot provide them. A function that is missing stays null.
bool LoadTraceServices(TraceServices& services);

}  // namespace Zarvo::Platform
