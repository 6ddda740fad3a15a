#include "runtime/plugin.h"

#include "binding/property_context.h"
#include "platform/allocation.h"
#include "platform/assertion.h"
#include "platform/logger.h"
#include "platform/memory_stats.h"

namespace Zarvo::Client {
namespace {

constexpr const char* kServiceProxyEvents[] = {kServiceProxyUuidEvent, kServiceProxyMethodEvent,
                                               kServiceProxyAsyncEvent};

}  // namespace

Plugin::Plugin(std::string_view shortName, const PluginType& type)
    : name_{{}, std::string(shortName), type.name, type.second},
      transport_(std::make_unique<HttpBaseTransport>()),
      entryTable_{&EntryInit, &EntryGetMemoryStats, &EntryDestroy} {
    AcquireLogger();
}

Plugin::~Plugin() {
    logTarget_.reset();
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
    const PluginApiDescription& description = transport_->BuildApiDescription();
    block.versionMajor = kPluginApiVersion.versionMajor;
    block.versionMinor = kPluginApiVersion.versionMinor;
    block.versionPatch = kPluginApiVersion.versionPatch;
    block.entryTable = &entryTable_;
    block.instance = this;
    block.shortName = name_.shortName.c_str();
    block.description = &description;
    return true;
}

bool Plugin::Init(const PluginInitBlock& init) {
    init_ = init;
    StartPluginLogging(init_.api, logTarget_);
    pluginHandle_ = init_.pluginHandle;
    if (!serviceProxySubscribed_) {
        for (const char* eventName : kServiceProxyEvents)
            CoreSubscribeEvent(eventName, pluginHandle_, &OnServiceProxyEvent, this, PluginSubscribeServiceProxy);
        serviceProxySubscribed_ = true;
    }
    return Start();
}

uint8_t KIV_CDECL Plugin::EntryInit(void* instance, const PluginInitBlock* init) {
    if (!instance || !init) return 0;
    try {
        return static_cast<Plugin*>(instance)->Init(*init) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

void KIV_CDECL Plugin::EntryGetMemoryStats(void*, PluginMemoryStats* stats) {
    if (stats) FillMemoryStats(stats);
}

void KIV_CDECL Plugin::EntryDestroy(void* instance) {
    auto* plugin = static_cast<Plugin*>(instance);
    if (!plugin) return;
    try {
        plugin->Teardown();
    } catch (...) {
    }
    delete plugin;
    ReleaseIdlePropertyStorage();  // the core may unload the library next: storage kept for later trees goes now
}

}  // namespace Zarvo::Client
