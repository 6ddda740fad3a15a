#include "devcore/test_core.h"

#include <algorithm>
#include <exception>

#include "devcore/contract_bounds.h"
#include "devcore/core_value_reader.h"
#include "devcore/core_value_writer.h"
#include "devcore/json_text.h"
#include "devcore/loaded_plugin.h"
#include "devcore/plugin_call_watch.h"
#include "devcore/plugin_text.h"
#include "devcore/story_text.h"

namespace Zarvo::DevCore {

TestCore::TestCore()
    : table_{{SendRequest, nullptr, SendEvent, SubscribeEvent, UnsubscribeEvent, nullptr, Yield, BeginWait, EndWait,
              WriteLog},
             this,
             nullptr} {}

TestCore::~TestCore() { UnloadAll(); }

void TestCore::UnloadAll() {
    Entry entry(*this);
    while (!plugins_.empty()) {
        Unload(*plugins_.back());
        // A plugin set aside may still be running a call that never returned, and calling the core through its
        // table: what the core keeps of it is never freed.
        if (!plugins_.back()->setAside.empty()) (void)plugins_.back().release();
        plugins_.pop_back();
    }
}

void TestCore::AbandonCallsInProgress() {
    depth_ = 0;
    requestNesting_ = 0;
    activities_.clear();
    codeThread_.store({});
    for (const auto& plugin : plugins_) plugin->intake = {};
}

void TestCore::ForgetRecords() {
    calls.clear();
    events.clear();
    logs.clear();
    requests.clear();
    breaches.clear();
}

TestCore::Entry::~Entry() {
    if (--core_.depth_ != 0) return;
    core_.DeliverQueuedEvents();
    core_.TellStrayCalls();
    for (const auto& plugin : core_.plugins_) plugin->intake = {};
}

TestCore::ApiTable& TestCore::Table(const PluginCoreApi* api) {
    return *const_cast<ApiTable*>(reinterpret_cast<const ApiTable*>(api));
}

std::string_view TestCore::PluginName(const PluginCoreApi* api) {
    const LoadedPlugin* plugin = Table(api).plugin;
    return plugin ? std::string_view(plugin->name) : std::string_view();
}

uint32_t TestCore::HandleOf(const PluginCoreApi* api) {
    const LoadedPlugin* plugin = Table(api).plugin;
    return plugin ? plugin->init.pluginHandle : From(api).pluginHandle_;
}

std::string TestCore::Named(const LoadedPlugin* plugin) { return plugin ? plugin->name : "the plugin"; }

void TestCore::SetStory(std::function<void(std::string_view line)> story) { story_ = std::move(story); }

void TestCore::SetEventListener(std::function<void(const SentEvent&)> listener) {
    eventListener_ = std::move(listener);
}

void TestCore::SetActivityListener(std::function<void(const PluginActivity* activity)> listener) {
    activityListener_ = std::move(listener);
}

void TestCore::Tell(const std::string& line) const {
    if (story_) story_(line);
}

void TestCore::SetBreachListener(std::function<void(const ContractBreach&)> listener) {
    breachListener_ = std::move(listener);
}

void TestCore::Breach(ContractBreach::Severity severity, const LoadedPlugin* plugin, std::string text) {
    const bool fail = severity == ContractBreach::Severity::Fail;
    Tell(std::string(fail ? "  FAIL    " : "  WARN    ") + text);
    breaches.push_back({severity, plugin ? plugin->name : "", std::move(text)});
    if (breachListener_) breachListener_(breaches.back());
}

void TestCore::PushActivity(const LoadedPlugin* plugin, std::string name, std::string what, bool reading) {
    if (PluginCallWatcher* watcher = ThisThreadWatcher()) watcher->Entering(name, what, !reading);
    const PluginActivity* within = nullptr;
    if (!activities_.empty()) {
        const PluginActivity& outer = activities_.back().told;
        within = outer.reading ? outer.within : &outer;
    }
    activities_.push_back({plugin, {std::move(name), std::move(what), reading, within}});
    codeThread_.store(std::this_thread::get_id());
    if (activityListener_) activityListener_(&activities_.back().told);
}

void TestCore::PopActivity() {
    if (PluginCallWatcher* watcher = ThisThreadWatcher()) watcher->Returned();
    activities_.pop_back();
    if (activities_.empty()) codeThread_.store({});
    if (activityListener_) activityListener_(activities_.empty() ? nullptr : &activities_.back().told);
    if (activities_.empty()) TellStrayCalls();
}

TestCore::Reading::Reading(TestCore& core, const LoadedPlugin* plugin, std::string what) : core_(core) {
    core_.PushActivity(plugin, Named(plugin), std::move(what), true);
}

TestCore::Reading::~Reading() { core_.PopActivity(); }

TestCore::Admission TestCore::AcceptsCallFrom(const LoadedPlugin* caller, const char* operation) {
    if (!caller) return Admission::Accepted;
    const bool coreThread = codeThread_.load() == std::this_thread::get_id();
    if (!coreThread || activities_.back().plugin != caller || activities_.back().told.reading) {
        caller->strayCalls.fetch_add(1);
        const char* none = nullptr;
        caller->strayOperation.compare_exchange_strong(none, operation);
        if (coreThread) TellStrayCalls();
        return Admission::NotInItsCode;
    }
    if (caller->intake.over) return Admission::PastItsStep;
    if (++caller->intake.calls > kMaxStepCalls) {
        Overflows(caller, "called the core more than " + Grouped(kMaxStepCalls) + " times");
        return Admission::PastItsStep;
    }
    return Admission::Accepted;
}

void TestCore::TellStrayCalls() {
    for (const auto& plugin : plugins_) {
        if (plugin->strayCalls.load() == 0) continue;
        const uint64_t calls = plugin->strayCalls.exchange(0);
        const char* const operation = plugin->strayOperation.exchange(nullptr);
        const std::string more = calls > 1 ? " (and made " + Grouped(calls - 1) + " more calls)" : "";
        Breach(ContractBreach::Severity::Fail, plugin.get(),
               plugin->name + " called " + (operation ? operation : "the core") + more +
                   " while the core was running none of its code (from a thread of its own, or after the core's "
                   "call returned): the core ignored " + (calls > 1 ? "them" : "the call"));
    }
}

bool TestCore::Takes(const LoadedPlugin* caller, size_t values, size_t bytes) {
    if (!caller) return true;
    LoadedPlugin::Intake& intake = caller->intake;
    intake.values += values;
    intake.bytes += bytes;
    if (intake.values > kMaxStepValues)
        return Overflows(caller, "handed the core more than " + Grouped(kMaxStepValues) +
                                     " values in its events and requests");
    if (intake.bytes > kMaxStepBytes)
        return Overflows(caller, "handed the core more than " + Grouped(kMaxStepBytes) +
                                     " bytes of log lines, names, paths, texts and byte arrays");
    return true;
}

bool TestCore::Overflows(const LoadedPlugin* caller, const std::string& what) {
    caller->intake.over = true;
    Breach(ContractBreach::Severity::Fail, caller,
           caller->name + " " + what + " in one step; the core ignored its calls from there to the step's end");
    return false;
}

size_t TestCore::Deliver(std::string_view eventName, const BindingProperty& payload) {
    Entry entry(*this);
    Tell("  deliver " + std::string(eventName) + " " + ValueForStory(payload));
    return DeliverEvent(eventName, payload, 0);
}

const TestCore::LoadedPlugin* TestCore::PluginByHandle(uint32_t handle) const {
    for (const auto& plugin : plugins_)
        if (plugin->init.pluginHandle == handle) return plugin.get();
    return nullptr;
}

size_t TestCore::DeliverEvent(std::string_view name, const BindingProperty& payload, uint32_t exceptHandle) {
    // Copy first: a callback may subscribe or unsubscribe.
    std::vector<Subscription> targets;
    for (const Subscription& s : subscriptions)
        if (s.name == name && (exceptHandle == 0 || s.pluginHandle != exceptHandle)) targets.push_back(s);
    const std::string text(name);
    size_t delivered = 0;
    for (const Subscription& s : targets) {
        const LoadedPlugin* plugin = PluginByHandle(s.pluginHandle);
        if (plugin && !plugin->setAside.empty()) {
            Tell("  skip    " + text + " to " + plugin->name + ", set aside");
            continue;
        }
        PluginEventRecord record{text.c_str(), {}, 0, s.context};
        WriteCoreValue(record.payload, payload);
        RunPlugin(plugin, Named(plugin), "its event callback for " + text, [&] { s.callback(&record); });
        FreeCoreValue(record.payload);
        ++delivered;
    }
    return delivered;
}

void TestCore::DeliverQueuedEvents() {
    ++depth_;
    size_t deliveries = 0;
    std::vector<std::string> senders;  // of the events delivered, in the order they first sent one
    while (!queuedEvents_.empty()) {
        const QueuedEvent event = std::move(queuedEvents_.front());
        queuedEvents_.pop_front();
        const LoadedPlugin* sender = PluginByHandle(event.senderHandle);
        if (std::find(senders.begin(), senders.end(), Named(sender)) == senders.end()) senders.push_back(Named(sender));
        deliveries += DeliverEvent(event.name, event.payload, event.senderHandle);
        if (deliveries >= kMaxDeliveries && !queuedEvents_.empty()) {
            queuedEvents_.clear();
            std::string names;
            for (size_t i = 0; i < senders.size(); ++i)
                names += (i == 0 ? "" : i + 1 == senders.size() ? " and " : ", ") + senders[i];
            Breach(ContractBreach::Severity::Fail, sender,
                   names + ": events sent from event callbacks did not settle after " + Grouped(kMaxDeliveries) +
                       " deliveries (the last one " + event.name + "); the core dropped the rest");
        }
    }
    --depth_;
}

bool TestCore::IsSubscribed(std::string_view eventName) const {
    return std::any_of(subscriptions.begin(), subscriptions.end(),
                       [&](const Subscription& s) { return s.name == eventName; });
}

void KIV_CDECL TestCore::SendEvent(const PluginCoreApi* api, const PluginEventRecord* event) {
    const CoreEntryScope crossing;
    TestCore& core = From(api);
    const LoadedPlugin* sender = Table(api).plugin;
    if (core.AcceptsCallFrom(sender, "SendEvent") != Admission::Accepted) return;
    const std::string who = Named(sender);
    if (!event) return core.Breach(ContractBreach::Severity::Fail, sender, who + " sent a null event record");
    const std::optional<std::string_view> name = PlainText(event->name);
    if (!name)
        return core.Breach(ContractBreach::Severity::Fail, sender,
                           who + " sent an event whose name is " +
                               (event->name ? "without a NUL within " + Grouped(kMaxPlainText) + " bytes" : "null"));
    SentEvent sent{std::string(*name), {}, std::string(PluginName(api))};
    {
        const Reading reading(core, sender, "its event " + sent.name);
        const PluginValue payload = event->payload;
        ValueReading read = ReadCoreValue(payload, sent.payload);
        for (const std::string& warning : read.warnings)
            core.Breach(ContractBreach::Severity::Warn, sender,
                        who + " sent the event " + sent.name + " whose payload has " + warning);
        if (!read.problem.empty())
            return core.Breach(ContractBreach::Severity::Fail, sender,
                               who + " sent the event " + sent.name + " whose payload holds " + read.problem +
                                   "; the core dropped it");
        if (!core.Takes(sender, read.values, sent.name.size() + read.bytes)) return;
    }
    core.calls.push_back("SendEvent " + sent.name);
    if (core.story_) {
        // The second send of a resource event repeats the first one's payload under the base name.
        const std::string payload = ToJsonText(sent.payload);
        const bool same = !core.events.empty() && core.events.back().plugin == sent.plugin &&
                          ToJsonText(core.events.back().payload) == payload;
        core.Tell("  event   " + sent.name + " " + (same ? "(the same payload)" : EventPayloadForStory(sent.payload)));
    }
    core.events.push_back(std::move(sent));
    if (core.eventListener_) core.eventListener_(core.events.back());
    const SentEvent& recorded = core.events.back();
    core.queuedEvents_.push_back({recorded.name, recorded.payload, HandleOf(api)});
    if (core.depth_ == 0) core.DeliverQueuedEvents();
}

void KIV_CDECL TestCore::SubscribeEvent(const PluginCoreApi* api, const char* name, uint32_t pluginHandle,
                                        PluginEventCallback callback, void* context, uint32_t kind) {
    const CoreEntryScope crossing;
    TestCore& core = From(api);
    const LoadedPlugin* plugin = Table(api).plugin;
    if (core.AcceptsCallFrom(plugin, "SubscribeEvent") != Admission::Accepted) return;
    const std::string who = Named(plugin);
    const std::optional<std::string_view> text = PlainText(name);
    auto refuse = [&](const std::string& what) {
        core.Breach(ContractBreach::Severity::Fail, plugin, who + " subscribed " + what + ": the core refused it");
    };
    if (!text)
        return refuse(name ? "with an event name without a NUL within " + Grouped(kMaxPlainText) + " bytes"
                           : "with a null event name");
    const std::string event(*text);
    if (!callback) return refuse("to " + event + " with a null callback");
    if (pluginHandle != HandleOf(api))
        return refuse("to " + event + " with the plugin handle " + std::to_string(pluginHandle) + ", not its own " +
                      std::to_string(HandleOf(api)));
    if (kind != PluginSubscribeResource && kind != PluginSubscribeServiceProxy)
        return refuse("to " + event + " with the kind " + std::to_string(kind) +
                      " (0 for resource events, 1 for service-proxy events)");
    if (!core.Takes(plugin, 0, event.size())) return;
    core.calls.push_back("SubscribeEvent " + event + " " + std::to_string(kind));
    core.Tell("  sub     " + event + (kind == PluginSubscribeServiceProxy ? " (service proxy)" : ""));
    core.subscriptions.push_back({event, pluginHandle, callback, context, kind});
}

void KIV_CDECL TestCore::UnsubscribeEvent(const PluginCoreApi* api, const char* name, uint32_t pluginHandle) {
    const CoreEntryScope crossing;
    TestCore& core = From(api);
    const LoadedPlugin* plugin = Table(api).plugin;
    if (core.AcceptsCallFrom(plugin, "UnsubscribeEvent") != Admission::Accepted) return;
    const std::string who = Named(plugin);
    const std::optional<std::string_view> text = PlainText(name);
    if (!text)
        return core.Breach(ContractBreach::Severity::Fail, plugin,
                           who + " unsubscribed with " +
                               (name ? "an event name without a NUL within " + Grouped(kMaxPlainText) + " bytes"
                                     : "a null event name") +
                               ": the core ignored it");
    const std::string event(*text);
    if (pluginHandle != HandleOf(api))
        return core.Breach(ContractBreach::Severity::Fail, plugin,
                           who + " unsubscribed from " + event + " with the plugin handle " +
                               std::to_string(pluginHandle) + ", not its own " + std::to_string(HandleOf(api)) +
                               ": the core ignored it");
    core.calls.push_back("UnsubscribeEvent " + event);
    core.Tell("  unsub   " + event);
    std::erase_if(core.subscriptions,
                  [&](const Subscription& s) { return s.name == event && s.pluginHandle == pluginHandle; });
}

void KIV_CDECL TestCore::Yield(const PluginCoreApi* api) {
    const CoreEntryScope crossing;
    TestCore& core = From(api);
    if (core.AcceptsCallFrom(Table(api).plugin, "Yield") == Admission::Accepted) core.calls.push_back("Yield");
}

void KIV_CDECL TestCore::BeginWait(const PluginCoreApi* api, const char* label, uint32_t zero) {
    const CoreEntryScope crossing;
    TestCore& core = From(api);
    const LoadedPlugin* plugin = Table(api).plugin;
    if (core.AcceptsCallFrom(plugin, "BeginWait") != Admission::Accepted) return;
    const std::optional<std::string_view> text = PlainText(label);
    if (label && !text)
        return core.Breach(ContractBreach::Severity::Fail, plugin,
                           Named(plugin) + " began a wait whose label has no NUL within " + Grouped(kMaxPlainText) +
                               " bytes");
    if (!core.Takes(plugin, 0, text.value_or("").size())) return;
    core.calls.push_back("BeginWait " + std::string(text.value_or("")) + " " + std::to_string(zero));
}

void KIV_CDECL TestCore::EndWait(const PluginCoreApi* api) {
    const CoreEntryScope crossing;
    TestCore& core = From(api);
    if (core.AcceptsCallFrom(Table(api).plugin, "EndWait") == Admission::Accepted) core.calls.push_back("EndWait");
}

void KIV_CDECL TestCore::WriteLog(const PluginCoreApi* api, int32_t level, const char* text) {
    const CoreEntryScope crossing;
    TestCore& core = From(api);
    const LoadedPlugin* plugin = Table(api).plugin;
    if (core.AcceptsCallFrom(plugin, "WriteLog") != Admission::Accepted) return;
    const std::optional<std::string_view> message = PlainText(text);
    if (!message)
        return core.Breach(ContractBreach::Severity::Fail, plugin,
                           Named(plugin) + " wrote a log line whose text is " +
                               (text ? "without a NUL within " + Grouped(kMaxPlainText) + " bytes" : "null"));
    if (!core.Takes(plugin, 0, message->size())) return;
    LogLine& line = core.logs.emplace_back(LogLine{level, std::string(*message), std::string(PluginName(api))});
    std::string told = "  log     " + LogLevelName(level);
    told.resize(std::max<size_t>(told.size() + 1, 17), ' ');
    // A text that names its plugin already is told as it is.
    const bool named = line.plugin.empty() || (line.text.starts_with(line.plugin) &&
                                                std::string_view(line.text).substr(line.plugin.size()).starts_with(":"));
    core.Tell(told + (named ? "" : line.plugin + ": ") + line.text);
}

}  // namespace Zarvo::DevCore
