// A core for tests and development: it plays the host process around one plugin, through the C contract only.
// It records every call the plugin makes, answers requests from a scriptable resource table and delivers events
// through the callbacks the plugin subscribed.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "abi/plugin_abi.h"
#include "binding/property.h"
#include "binding/registry.h"

namespace Zarvo::DevCore {

// How a streamed answer hands out its body.
struct StreamScript {
    std::vector<std::string> chunks;  // the pieces handed out by successive reads
    int failingRead = -1;             // the read (0-based) that reports failure; -1 for none
    int overReportingRead = -1;       // the read that reports one byte more than the buffer holds; -1 for none
    bool repeatLast = false;          // hand out the last chunk again and again: the stream never ends
};

// How the core answers a request for one resource.
struct ResourceAnswer {
    enum class Kind { Value, Stream, Error, InvalidValue } kind = Kind::Value;
    BindingProperty value;
    StreamScript stream;
    uint32_t status = 200;
    std::string error;      // Error: the error text
    uint32_t invalidKind = 0;  // InvalidValue: the kind of the result value, one no core value has
};

struct SentEvent {
    std::string name;
    BindingProperty payload;
};

struct Subscription {
    std::string name;
    uint32_t pluginHandle;
    PluginEventCallback callback;
    void* context;
    uint32_t kind;
};

struct LogLine {
    int32_t level;
    std::string text;
};

struct SentArgument {
    std::string name;  // empty for a positional item
    BindingProperty value;
};

struct SentRequest {
    uint32_t method;
    std::string url;
    uint32_t pluginHandle;
    std::vector<SentArgument> arguments;
};

class TestCore {
public:
    TestCore();
    ~TestCore();
    TestCore(const TestCore&) = delete;
    TestCore& operator=(const TestCore&) = delete;

    const PluginCoreApi* Api() const { return &table_.api; }
    PluginInitBlock InitBlock() const { return {&table_.api, pluginHandle_}; }

    // The resource table that requests are answered from; a URL that is not in it is answered 404 "Not found".
    void SetValue(std::string url, const BindingProperty& value);
    void SetStream(std::string url, std::vector<std::string> chunks, int failingRead = -1);
    void SetStream(std::string url, StreamScript script);
    void SetError(std::string url, uint32_t status, std::string error);
    void SetInvalidValue(std::string url, uint32_t kind);
    void Remove(const std::string& url);

    // Calls every callback subscribed under the name with the payload as a core value; returns how many. With a
    // registry, enums travel as their enumerators' names, as they do from a publishing plugin.
    size_t Deliver(std::string_view eventName, const BindingProperty& payload,
                   const BindingRegistry* registry = nullptr);
    bool IsSubscribed(std::string_view eventName) const;

    // Everything the plugin did, in order within each kind.
    // One line per call: "SendRequest <url>", "StreamRead <count>", "StreamRelease", "SendEvent <name>",
    // "SubscribeEvent <name> <kind>", "UnsubscribeEvent <name>", "BeginWait <label> <zero>", "Yield", "EndWait".
    std::vector<std::string> calls;
    std::vector<SentEvent> events;
    std::vector<Subscription> subscriptions;  // the ones still active
    std::vector<LogLine> logs;
    std::vector<SentRequest> requests;
    size_t streamReads = 0;
    size_t streamsReleased = 0;

    // Responses of this process's test cores that the plugin freed through their free routine.
    static size_t FreedResponses();

private:
    struct ApiTable {
        PluginCoreApi api;
        TestCore* core;
    };
    static TestCore& From(const PluginCoreApi* api);

    static void KIV_CDECL SendRequest(const PluginCoreApi* api, PluginResponseRecord* response,
                                      const PluginRequestRecord* request);
    static void KIV_CDECL SendEvent(const PluginCoreApi* api, const PluginEventRecord* event);
    static void KIV_CDECL SubscribeEvent(const PluginCoreApi* api, const char* name, uint32_t pluginHandle,
                                         PluginEventCallback callback, void* context, uint32_t kind);
    static void KIV_CDECL UnsubscribeEvent(const PluginCoreApi* api, const char* name, uint32_t pluginHandle);
    static void KIV_CDECL Yield(const PluginCoreApi* api);
    static void KIV_CDECL BeginWait(const PluginCoreApi* api, const char* label, uint32_t zero);
    static void KIV_CDECL EndWait(const PluginCoreApi* api);
    static void KIV_CDECL WriteLog(const PluginCoreApi* api, int32_t level, const char* text);

    ApiTable table_;
    uint32_t pluginHandle_ = 0x51;
    std::map<std::string, ResourceAnswer, std::less<>> resources_;
};

}  // namespace Zarvo::DevCore
