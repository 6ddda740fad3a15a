#include "runtime/plugin.h"

namespace Zarvo::Client {
namespace {

// The core's slots 1 and 5, whose shapes this runtime only passes on.
using CoreSlot1Function = void(KIV_CDECL*)(const PluginCoreApi*, uint32_t, uint32_t);
using CoreSlot5Function = void(KIV_CDECL*)(const PluginCoreApi*, uint32_t, uint32_t, uint32_t, double, uint32_t);

}  // namespace

void Plugin::CoreSendRequest(PluginResponseRecord* response, const PluginRequestRecord* request) {
    const PluginCoreApi* api = init_.api;
    if (api && api->SendRequest) api->SendRequest(api, response, request);
}

void Plugin::CoreSlot1(uint32_t first, uint32_t second) {
    const PluginCoreApi* api = init_.api;
    if (api && api->Reserved1) reinterpret_cast<CoreSlot1Function>(api->Reserved1)(api, first, second);
}

void Plugin::CoreSendEvent(const PluginEventRecord* event) {
    const PluginCoreApi* api = init_.api;
    if (api && api->SendEvent) api->SendEvent(api, event);
}

void Plugin::CoreSubscribeEvent(const char* name, uint32_t pluginHandle, PluginEventCallback callback, void* context,
                                uint32_t kind) {
    const PluginCoreApi* api = init_.api;
    if (api && api->SubscribeEvent) api->SubscribeEvent(api, name, pluginHandle, callback, context, kind);
}

void Plugin::CoreUnsubscribeEvent(const char* name, uint32_t pluginHandle) {
    const PluginCoreApi* api = init_.api;
    if (api && api->UnsubscribeEvent) api->UnsubscribeEvent(api, name, pluginHandle);
}

void Plugin::CoreSlot5(uint32_t first, uint32_t second, uint32_t third, double fourth, uint32_t fifth) {
    const PluginCoreApi* api = init_.api;
    if (api && api->Reserved5)
        reinterpret_cast<CoreSlot5Function>(api->Reserved5)(api, first, second, third, fourth, fifth);
}

void Plugin::CoreYield() {
    const PluginCoreApi* api = init_.api;
    if (api && api->Yield) api->Yield(api);
}

void Plugin::CoreBeginWait(const char* label, uint32_t zero) {
    const PluginCoreApi* api = init_.api;
    if (api && api->BeginWait) api->BeginWait(api, label, zero);
}

void Plugin::CoreEndWait() {
    const PluginCoreApi* api = init_.api;
    if (api && api->EndWait) api->EndWait(api);
}

}  // namespace Zarvo::Client
