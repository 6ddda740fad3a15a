#include "platform/event_tracing.h"

#include <array>
#include <cstring>

#include "platform/clock.h"
#include "platform/system.h"

namespace Zarvo {
namespace {

using Platform::TraceGuid;

constexpr TraceEventFilter kSingleEvent[] = {{0, 0}};
constexpr TraceEventFilter kThreadNameProviderEvents[] = {{kThreadNameEvent.level, kThreadNameEvent.keyword}};
constexpr TraceEventFilter kTwoEvents[] = {{0, 0}, {0, 0}};

constinit std::array<TraceProvider, 4> providers{{
    {TraceGuid{0x2F9EFE86, 0x4AF7, 0x4F37, {0xA4, 0x0F, 0x94, 0xB9, 0x09, 0xA1, 0x57, 0xD6}}, 0, {kSingleEvent}},
    {TraceGuid{0xEA08C559, 0x95A8, 0x4AA2, {0xAF, 0xA6, 0x18, 0x73, 0x8E, 0xEC, 0x6D, 0x37}}, 0,
     {kThreadNameProviderEvents}},
    {TraceGuid{0x10F6728C, 0xEF92, 0x4BF1, {0x83, 0x97, 0x49, 0xE6, 0x93, 0xA6, 0xEB, 0x74}}, 0, {kSingleEvent}},
    {TraceGuid{0x46DD7F96, 0x60CB, 0x416B, {0x80, 0x85, 0xDA, 0x5C, 0xD8, 0xF4, 0x91, 0xDD}}, 0, {kTwoEvents}},
}};

TraceProvider& threadNameProvider = providers[1];

Platform::TraceServices services{};

void Disable(TraceEnableContext& context) {
    context.enabled = false;
    context.level = 0;
    context.matchAnyKeyword = 0;
    context.matchAllKeyword = 0;
    context.eventBits = 0;
}

void KIV_TRACE_CALL OnEnableNotification(const TraceGuid*, uint32_t controlCode, uint8_t level, uint64_t matchAnyKeyword,
                                         uint64_t matchAllKeyword, void*, void* callbackContext) {
    auto& context = *static_cast<TraceEnableContext*>(callbackContext);
    if (controlCode == Platform::TraceControlDisable) {
        Disable(context);
    } else if (controlCode == Platform::TraceControlEnable) {
        context.level = level;
        context.matchAnyKeyword = matchAnyKeyword;
        context.matchAllKeyword = matchAllKeyword;
        context.enabled = true;
        uint32_t bits = 0;
        for (size_t i = 0; i < context.events.size(); ++i)
            if (TraceEventEnabled(context.events[i], level, matchAnyKeyword, matchAllKeyword)) bits |= 1u << i;
        context.eventBits = bits;
    }
}

uint64_t AddressOf(const void* data) { return reinterpret_cast<uintptr_t>(data); }

}  // namespace

bool TraceEventEnabled(const TraceEventFilter& event, uint8_t level, uint64_t matchAnyKeyword,
                       uint64_t matchAllKeyword) {
    if (event.level > level && level != 0) return false;
    return event.keyword == 0 ||
           ((event.keyword & matchAnyKeyword) != 0 && (event.keyword & matchAllKeyword) == matchAllKeyword);
}

void StartEventTracing() {
    PerformanceFrequency();
    Platform::TraceServices loaded;
    if (!Platform::LoadTraceServices(loaded)) return;
    services = loaded;
    for (TraceProvider& provider : providers)
        if (provider.handle == 0 && services.registerProvider)
            services.registerProvider(&provider.id, OnEnableNotification, &provider.context, &provider.handle);
    WriteThreadNameEvent(Platform::CurrentThreadId(), "Main thread");
}

// No notification reaches an unregistered provider, so its events count as disabled from then on.
void StopEventTracing() {
    for (auto provider = providers.rbegin(); provider != providers.rend(); ++provider) {
        if (provider->handle == 0) continue;
        if (services.unregisterProvider) services.unregisterProvider(provider->handle);
        provider->handle = 0;
        Disable(provider->context);
    }
}

std::span<const TraceProvider, 4> TraceProviders() { return providers; }

void WriteThreadNameEvent(uint32_t threadId, const char* name) {
    if ((threadNameProvider.context.eventBits & 1u) == 0 || !services.write || threadNameProvider.handle == 0) return;
    if (!name) name = "NULL";
    Platform::TraceDataItem items[] = {{AddressOf(&threadId), sizeof threadId, 0},
                                       {AddressOf(name), static_cast<uint32_t>(std::strlen(name) + 1), 0}};
    services.write(threadNameProvider.handle, &kThreadNameEvent, 2, items);
}

}  // namespace Zarvo
