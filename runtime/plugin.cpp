#include "runtime/plugin.h"

#include <cstring>
#include <vector>

#include "binding/property_context.h"
#include "platform/allocation.h"
#include "platform/assertion.h"
#include "platform/logger.h"
#include "platform/memory_stats.h"
#include "platform/plugin_log_target.h"
#include "remoting/dispatch.h"
#include "remoting/response_record.h"
#include "runtime/instance_registry.h"

namespace Zarvo::Client {
namespace {

constexpr const char* kServiceProxyEvents[] = {kServiceProxyUuidEvent, kServiceProxyMethodEvent,
                                               kServiceProxyAsyncEvent};

// A call the registry refused: an instance being destroyed (or gone) is "shutting down"; a context no instance
// ever had is as unknown as a null one.
void AnswerRefusedCall(PluginResponseRecord& response, InstanceRegistry::HandleState state) {
    if (response.free) response.free(&response);
    std::memset(static_cast<void*>(&response), 0, sizeof(PluginResponseRecord));
    if (state == InstanceRegistry::HandleState::ShuttingDown)
        ComposeFailureRecord(response, 503, "Plugin is shutting down");
    else
        ComposeFailureRecord(response, 404, "Invalid function");
}

// The operations without which the plugin cannot follow, fetch or publish anything.
bool HasRequiredOperations(const PluginCoreApi& api) {
    return api.SendRequest && api.SendEvent && api.SubscribeEvent && api.UnsubscribeEvent;
}

}  // namespace

const PluginEntryTable Plugin::kEntryTable{&EntryInit, &EntryGetMemoryStats, &EntryDestroy};

Plugin::Plugin(std::string_view shortName, const PluginType& type)
    : name_{{}, std::string(shortName), type.name, type.second},
      transport_(std::make_unique<HttpBaseTransport>()) {
    AcquireLogger();
}

Plugin::~Plugin() {
    InstanceRegistry::Forget(*this);
    StopPluginLogging(this);
    ReleaseLogger();
}

void* Plugin::operator new(size_t size) { return AllocateOrThrow(size); }

void Plugin::operator delete(void* block) noexcept { Release(block); }

void Plugin::Teardown() {
    for (const auto& [eventName, count] : subscriptions_.ReferenceCounts())
        CoreUnsubscribeEvent(eventName.c_str(), pluginHandle_);
    if (serviceProxySubscribed_) {
        for (const char* eventName : kServiceProxyEvents) CoreUnsubscribeEvent(eventName, pluginHandle_);
        serviceProxySubscribed_ = false;
    }
    subscriptions_.Clear();
    serviceProxy_.Clear();
}

void Plugin::RegisterApi() {}

bool Plugin::Start() { return true; }

bool Plugin::Load(PluginLoadBlock& block) {
    const PluginApiVersion core{block.versionMajor, block.versionMinor, block.versionPatch};
    if (!IsCompatibleCoreVersion(core)) {
        ReportAssertion("ALE-EECF0606");
        return false;
    }
    coreVersion_ = core;
    name_.fullName = GetFullNameFromShortNameAndType(name_.shortName, name_.typeName);
    routeTags_ = {"Plugins", "Plugin " + name_.shortName};
    RegisterRuntimeTypes(transport_->Registry());
    RegisterApi();
    exportedDescription_.CopyFrom(transport_->BuildApiDescription());
    const std::vector<void*> contexts = exportedDescription_.DispatchContexts();
    std::vector<void*> functionHandles(contexts.size());
    instanceHandle_ = InstanceRegistry::Register(*this, contexts, functionHandles);
    exportedDescription_.CallThrough(functionHandles, &OnDispatch);
    block.versionMajor = kPluginApiVersion.versionMajor;
    block.versionMinor = kPluginApiVersion.versionMinor;
    block.versionPatch = kPluginApiVersion.versionPatch;
    block.entryTable = &kEntryTable;
    block.instance = instanceHandle_;
    block.shortName = name_.shortName.c_str();
    block.description = &exportedDescription_.Tables();
    return true;
}

bool Plugin::Init(const PluginInitBlock& init) {
    if (!init.api || !HasRequiredOperations(*init.api)) return false;
    init_ = init;
    StartPluginLogging(this, init_.api);
    pluginHandle_ = init_.pluginHandle;
    if (!serviceProxySubscribed_) {
        for (const char* eventName : kServiceProxyEvents)
            CoreSubscribeEvent(eventName, pluginHandle_, &OnServiceProxyEvent, instanceHandle_,
                               PluginSubscribeServiceProxy);
        serviceProxySubscribed_ = true;
    }
    return Start();
}

void Plugin::Finish(Plugin* plugin) noexcept {
    try {
        plugin->Teardown();
    } catch (...) {
    }
    delete plugin;
    ReleaseIdlePropertyStorage();  // the core may unload the library next: storage kept for later trees goes now
}

uint8_t KIV_CDECL Plugin::EntryInit(void* instance, const PluginInitBlock* init) {
    InstanceRegistry::Call call(instance);
    if (!call || !init) return 0;
    try {
        const bool started = call.Instance().Init(*init);
        // Destroyed while it started (from the core's Yield): the instance is not there to use.
        return started && !call.ShutdownStarted() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

// The counters are the process's: the instance is not read, and may be null or gone.
void KIV_CDECL Plugin::EntryGetMemoryStats(void*, PluginMemoryStats* stats) {
    if (stats) FillMemoryStats(stats);
}

void KIV_CDECL Plugin::EntryDestroy(void* instance) { InstanceRegistry::Destroy(instance); }

void KIV_CDECL Plugin::OnDispatch(PluginResponseRecord* response, const PluginRequestRecord* request) {
    if (!response) return;
    InstanceRegistry::Call call(request ? request->dispatchContext : nullptr);
    if (!call) {
        AnswerRefusedCall(*response, call.State());
        return;
    }
    PluginRequestRecord forwarded = *request;
    forwarded.dispatchContext = call.DispatchContext();
    DispatchCallback(response, &forwarded);
}

}  // namespace Zarvo::Client
