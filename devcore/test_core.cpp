#include "devcore/test_core.h"

#include <algorithm>

#include "devcore/json_text.h"
#include "devcore/loaded_plugin.h"
#include "devcore/plugin_call_watch.h"
#include "devcore/story_text.h"
#include "formats/plugin_value.h"
#include "remoting/method.h"

namespace Zarvo::DevCore {

TestCore::TestCore()
    : table_{{SendRequest, nullptr, SendEvent, SubscribeEvent, UnsubscribeEvent, nullptr, Yield, BeginWait, EndWait,
              WriteLog},
             this,
             nullptr} {}

TestCore::~TestCore() {
    Entry entry(*this);
    while (UnloadNewest()) {
    }
}

TestCore::Entry::~Entry() {
    if (--core_.depth_ == 0) core_.DeliverQueuedEvents();
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

void TestCore::SetStory(std::function<void(std::string_view line)> story) { story_ = std::move(story); }

void TestCore::SetEventListener(std::function<void(const SentEvent&)> listener) {
    eventListener_ = std::move(listener);
}

void TestCore::Tell(const std::string& line) const {
    if (story_) story_(line);
}

size_t TestCore::Deliver(std::string_view eventName, const BindingProperty& payload, const BindingRegistry* registry) {
    Entry entry(*this);
    Tell("  deliver " + std::string(eventName) + " " + ValueForStory(payload));
    return DeliverEvent(eventName, payload, registry, 0);
}

size_t TestCore::DeliverEvent(std::string_view name, const BindingProperty& payload, const BindingRegistry* registry,
                              uint32_t exceptHandle) {
    // Copy first: a callback may subscribe or unsubscribe.
    std::vector<Subscription> targets;
    for (const Subscription& s : subscriptions)
        if (s.name == name && (exceptHandle == 0 || s.pluginHandle != exceptHandle)) targets.push_back(s);
    const std::string text(name);
    const std::string call = "its event callback for " + text;
    size_t delivered = 0;
    for (const Subscription& s : targets) {
        const LoadedPlugin* const plugin = PluginOfHandle(s.pluginHandle);
        if (plugin && !plugin->setAside.empty()) {
            Tell("  skip    " + text + " to " + plugin->name + ", set aside");
            continue;
        }
        PluginEventRecord record{text.c_str(), {}, 0, s.context};
        ToPluginValue(record.payload, payload, registry);
        {
            const PluginCallScope scope(plugin ? std::string_view(plugin->name) : std::string_view(), call);
            s.callback(&record);
        }
        ClearPluginValue(record.payload);
        ++delivered;
    }
    return delivered;
}

const TestCore::LoadedPlugin* TestCore::PluginOfHandle(uint32_t handle) const {
    for (const auto& plugin : plugins_)
        if (plugin->init.pluginHandle == handle) return plugin.get();
    return nullptr;
}

void TestCore::DeliverQueuedEvents() {
    ++depth_;
    while (!queuedEvents_.empty()) {
        const QueuedEvent event = std::move(queuedEvents_.front());
        queuedEvents_.pop_front();
        DeliverEvent(event.name, event.payload, nullptr, event.senderHandle);
    }
    --depth_;
}

bool TestCore::IsSubscribed(std::string_view eventName) const {
    return std::any_of(subscriptions.begin(), subscriptions.end(),
                       [&](const Subscription& s) { return s.name == eventName; });
}

void KIV_CDECL TestCore::SendRequest(const PluginCoreApi* api, PluginResponseRecord* response,
                                     const PluginRequestRecord* request) {
    const CoreEntryScope crossing;
    TestCore& core = From(api);
    Entry entry(core);
    std::string url = request->path ? request->path : "";
    SentRequest sent{request->method, url, request->requestId, {}};
    const PluginArgumentItem* const items = request->items;
    for (uint32_t index = 0; items && index < request->itemCount; ++index) {
        const PluginArgumentItem& item = items[index];
        const char* const name = item.name;
        SentArgument& argument = sent.arguments.emplace_back();
        argument.name = name ? name : "";
        std::string error;
        FromPluginValue(error, argument.value, item.value, argument.name);
    }
    core.requests.push_back(std::move(sent));
    core.calls.push_back("SendRequest " + url);

    const uint32_t method = request->method;
    const char* const methodName = request->methodName;
    const std::string_view shownMethod =
        method == static_cast<uint32_t>(Method::Other) && methodName ? methodName : MethodName(MethodFromCode(method));
    const std::string_view path = std::string_view(url).substr(0, url.find('?'));
    bool pathServed = false;
    if (const Route* route = core.FindRoute(method, methodName ? methodName : "", path, HandleOf(api), &pathServed)) {
        if (!route->plugin->setAside.empty()) {
            core.AnswerSetAside(*response, route->plugin->setAside);
            core.Tell("  request " + std::string(shownMethod) + " " + url + " -> 503 " + route->plugin->setAside +
                      " (from " + route->plugin->name + ")");
            return;
        }
        PluginRequestRecord forwarded = *request;
        forwarded.dispatchContext = route->entry->function.dispatchContext;
        forwarded.requestId = core.NextRequestId();
        *response = PluginResponseRecord{};
        {
            const PluginCallScope scope(route->plugin->name,
                                        "its dispatch callback for " + std::string(shownMethod) + " " + url);
            route->entry->dispatch(response, &forwarded);
        }
        const uint32_t status = response->status;
        const char* const error = response->errorText;
        std::string answer = std::to_string(status);
        if (error) {
            answer += " ";
            answer += error;
        } else if (response->streamRead) {
            answer += ", a stream";
        } else {
            BindingProperty value;
            std::string ignored;
            FromPluginValue(ignored, value, response->result, "<result>");
            answer += " " + ValueForStory(value, 160);
        }
        core.Tell("  request " + std::string(shownMethod) + " " + url + " -> " + answer + " (from " +
                  route->plugin->name + ")");
        return;
    }
    const std::string answer = core.AnswerFromStore(*response, url);
    core.Tell("  request " + std::string(shownMethod) + " " + url + " -> " + answer);
}

void KIV_CDECL TestCore::SendEvent(const PluginCoreApi* api, const PluginEventRecord* event) {
    const CoreEntryScope crossing;
    TestCore& core = From(api);
    SentEvent sent{event->name ? event->name : "", {}, std::string(PluginName(api))};
    std::string error;
    FromPluginValue(error, sent.payload, event->payload, "<event>");
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
    const std::string text = name ? name : "";
    core.calls.push_back("SubscribeEvent " + text + " " + std::to_string(kind));
    core.Tell("  sub     " + text + (kind == PluginSubscribeServiceProxy ? " (service proxy)" : ""));
    core.subscriptions.push_back({text, pluginHandle, callback, context, kind});
}

void KIV_CDECL TestCore::UnsubscribeEvent(const PluginCoreApi* api, const char* name, uint32_t pluginHandle) {
    const CoreEntryScope crossing;
    TestCore& core = From(api);
    const std::string text = name ? name : "";
    core.calls.push_back("UnsubscribeEvent " + text);
    core.Tell("  unsub   " + text);
    std::erase_if(core.subscriptions,
                  [&](const Subscription& s) { return s.name == text && s.pluginHandle == pluginHandle; });
}

void KIV_CDECL TestCore::Yield(const PluginCoreApi* api) {
    const CoreEntryScope crossing;
    From(api).calls.push_back("Yield");
}

void KIV_CDECL TestCore::BeginWait(const PluginCoreApi* api, const char* label, uint32_t zero) {
    const CoreEntryScope crossing;
    From(api).calls.push_back("BeginWait " + std::string(label ? label : "") + " " + std::to_string(zero));
}

void KIV_CDECL TestCore::EndWait(const PluginCoreApi* api) {
    const CoreEntryScope crossing;
    From(api).calls.push_back("EndWait");
}

void KIV_CDECL TestCore::WriteLog(const PluginCoreApi* api, int32_t level, const char* text) {
    const CoreEntryScope crossing;
    TestCore& core = From(api);
    LogLine& line = core.logs.emplace_back(LogLine{level, text ? text : "", std::string(PluginName(api))});
    std::string told = "  log     " + LogLevelName(level);
    told.resize(std::max<size_t>(told.size() + 1, 17), ' ');
    // A text that names its plugin already is told as it is.
    const bool named = line.plugin.empty() || (line.text.starts_with(line.plugin) &&
                                                std::string_view(line.text).substr(line.plugin.size()).starts_with(":"));
    core.Tell(told + (named ? "" : line.plugin + ": ") + line.text);
}

}  // namespace Zarvo::DevCore
