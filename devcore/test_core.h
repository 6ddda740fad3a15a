// A core for tests and development: it plays the host process around plugins, through the C contract only.
// Plugins come from shared libraries (Load) or are driven in-process through Api() and InitBlock(). The core
// records every call a plugin makes, answers requests from a resource store that plays the other plugins (or from
// a loaded plugin that serves the URL), delivers resource events through the callbacks the plugins subscribed,
// carries the events one plugin sends to the subscriptions of the others (once the core's current call into the
// plugins has returned, so that no plugin is entered while it sends), and calls the plugins' functions by method
// and path. It states the core's side of the contract itself and holds every plugin to the plugin's side: what a
// plugin hands over is checked before it is read, and each breach is recorded with a sentence that names the plugin.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "abi/plugin_abi.h"
#include "binding/property.h"

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

// A plugin's breach of the contract. A Fail is the plugin's fault for certain; a Warn is something the plugin may mean.
struct ContractBreach {
    enum class Severity { Fail, Warn };
    Severity severity;
    std::string plugin;  // the plugin's short name; empty for a plugin driven in-process
    std::string text;    // a sentence that begins with the plugin's name: "kiv-x returned a value of kind 77 ..."
};

// What the core does with a plugin at a moment: runs its code (`what` completes "crashed in ..." and "did not return
// from ...": "its dispatch callback for GET /x"), or reads what the plugin handed over (`what` completes "while
// reading ...": "kiv-x's response to GET /x").
struct PluginActivity {
    std::string plugin;
    std::string what;
    bool reading = false;
    // The innermost activity around this one that runs a plugin's code (the dispatch callback that sent the event
    // being read, say), or null when there is none. Valid as long as this activity.
    const PluginActivity* within = nullptr;
};

struct SentEvent {
    std::string name;
    BindingProperty payload;
    std::string plugin;  // the sender's short name; empty for a plugin driven in-process
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
    std::string plugin;  // the writer's short name; empty for a plugin driven in-process
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

// A request to a loaded plugin's function, as a core fills it.
struct CallRequest {
    CallRequest() = default;
    CallRequest(std::string method, std::string path, std::string query = {})
        : method(std::move(method)), path(std::move(path)), query(std::move(query)) {}

    std::string method;  // "GET", "POST", "PUT", "DELETE", "PATCH", ... (any other name travels as text)
    std::string path;    // without the query
    std::string query;   // without '?', may be empty
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;         // raw bytes
    std::string contentType;  // may be empty
    std::vector<SentArgument> items;  // named (name set) or positional (name empty)
};

struct CallResult {
    // false: no loaded plugin serves this path (status 404, error "Not found") or serves it for other methods only
    // (status 405, error "Method not allowed").
    bool routed = false;
    // The status as an HTTP client sees it: the response's own status when it set one, else 200 on success and
    // 400 on an error (the plugin refused the request's arguments or body); 500 when the plugin broke the contract
    // in its answer (threw, or handed over a record the core refuses), with the breach as the error.
    uint32_t status = 0;
    uint32_t recordStatus = 0;  // the status as the response record carried it, 0 when the plugin set none
    BindingProperty value;      // the response's value (Null when none); a streamed JSON body read into a tree
    std::string error;          // the response's error text, empty when none
    bool stream = false;        // the body came as a stream
    std::string streamed;       // a streamed body as read
    std::vector<std::pair<std::string, std::string>> headers;  // the response's header pairs
    // The first contract breach (a Fail) of a plugin while the call ran, nested calls included; empty when none. All
    // of them, Warns too, are in the core's `breaches`.
    std::string breach;
    std::vector<std::string> allowed;  // status 405: the methods the path is served for ("GET", "POST", ...)
};

// One function of a loaded plugin, as the core routes to it.
struct ServedRoute {
    std::string plugin;  // the plugin's short name
    std::string method;  // "GET", "POST", ..., the method's own name, or "*" when it takes every method
    std::string path;    // the path template, or the function's name when the entry has no path
};

class TestCore {
public:
    TestCore();
    // Calls Destroy on each loaded plugin, newest first, and closes its library.
    ~TestCore();
    TestCore(const TestCore&) = delete;
    TestCore& operator=(const TestCore&) = delete;

    // The table and handle for a plugin driven in-process.
    const PluginCoreApi* Api() const { return &table_.api; }
    PluginInitBlock InitBlock() const { return {&table_.api, pluginHandle_}; }

    // The resource table that requests are answered from; a URL that is not in it is answered 404 "Not found".
    void SetValue(std::string url, const BindingProperty& value);
    void SetStream(std::string url, std::vector<std::string> chunks, int failingRead = -1);
    void SetStream(std::string url, StreamScript script);
    void SetError(std::string url, uint32_t status, std::string error);
    void SetInvalidValue(std::string url, uint32_t kind);
    void Remove(const std::string& url);

    // The resource store that plays the other plugins. Put stores the value (answered to GETs) and delivers the
    // Create event (when the URI was not stored) or the Update event, as a `PluginResourceEvent` {uri, eventType,
    // data} under the URI's event name; a given event type ("Create" for a new game's block) replaces that choice.
    // Delete removes a stored URI and delivers the Delete event; it returns false, delivering nothing, when the URI
    // was not stored.
    void Put(std::string uri, const BindingProperty& value, std::string_view eventType = {});
    // Stores the value as Put does, always with the Create event, and tells it as a POST.
    void Post(std::string uri, const BindingProperty& value);
    bool Delete(const std::string& uri);
    bool IsStored(std::string_view uri) const { return resources_.find(uri) != resources_.end(); }
    // A GET of the URI answered from the store as a plugin would receive it (404 "Not found" when absent).
    CallResult Fetch(const std::string& uri);

    // Calls every callback subscribed under the name with the payload as a core value; returns how many.
    size_t Deliver(std::string_view eventName, const BindingProperty& payload);
    bool IsSubscribed(std::string_view eventName) const;

    // Loads a plugin library: opens it, calls its entry point load_<file name without "lib" and extension, "-"
    // written "_">, checks the load block, the plugin's API version and its API description, and calls Init with a
    // table and handle of its own. On failure returns false with a readable error, after Destroy when an instance
    // was made; a breach of the contract while loading (a Fail in `breaches`) is such a failure too.
    bool Load(const std::string& libraryPath, std::string* error);
    // The short names of the loaded plugins, in load order.
    std::vector<std::string> LoadedPlugins() const;
    // The API description that the loaded plugin of this short name handed over at load; null when there is no such
    // plugin or it handed none. It stays valid until the plugin is unloaded, when the core ends.
    const PluginApiDescription* ApiDescription(std::string_view plugin) const;
    // Stops calling the loaded plugin: its routes answer 503 with the reason, to HTTP clients and to other plugins,
    // it gets no more events, and it is neither destroyed nor closed with the core (it may still be inside a call
    // that never returned). A plugin already set aside keeps its first reason.
    void SetAside(std::string_view pluginName, std::string reason);
    // The calls into plugins in progress will never return: their thread was given up on, and another thread goes
    // on with the core. The core forgets them.
    void AbandonCallsInProgress();

    // Calls a loaded plugin's function, chosen by method and path template from the plugins' API descriptions,
    // through its dispatch callback; the response is read with the contract's checks and freed through its free
    // routine. A request that a plugin sends to another plugin's function goes the same way, and the sender gets
    // the answer in records of the core's own.
    CallResult Call(const CallRequest& request);
    // Whether a loaded plugin serves the path, by any method.
    bool Serves(std::string_view path) const;
    // The methods the loaded plugins serve the path for, in the order of their routes.
    std::vector<std::string> MethodsServing(std::string_view path) const;
    // Every function of the loaded plugins that the core can call, in load order.
    std::vector<ServedRoute> Routes() const;

    // The story: when set, every load, WriteLog line, event sent, subscription and unsubscription, request a plugin
    // sends, Put/Delete and every Call with its result is written as one readable line.
    void SetStory(std::function<void(std::string_view line)> story);
    // Called for every event a plugin sends, after it is recorded in `events`.
    void SetEventListener(std::function<void(const SentEvent&)> listener);
    // Called whenever the core starts or ends running a plugin's code or reading what a plugin handed over, with the
    // innermost such activity, or null when there is none. The activity is valid during the call only.
    void SetActivityListener(std::function<void(const PluginActivity* activity)> listener);
    // Called for every breach as it is recorded in `breaches`. The breach is valid during the call only.
    void SetBreachListener(std::function<void(const ContractBreach&)> listener);
    // Each loaded plugin's live bytes (allocated less freed, by its GetMemoryStats) before Init and after Destroy are
    // compared when the core unloads it, and a growth is a Warn. Unloads the plugins, newest first, as the core's end
    // does; call it to see the breaches of Destroy before the core ends.
    void UnloadAll();
    // Forgets what the plugins did so far (calls, events, logs, requests, breaches), for a core that runs for long.
    void ForgetRecords();

    // Everything the plugins did, in order within each kind.
    // One line per call: "SendRequest <url>", "StreamRead <count>", "StreamRelease", "SendEvent <name>",
    // "SubscribeEvent <name> <kind>", "UnsubscribeEvent <name>", "BeginWait <label> <zero>", "Yield", "EndWait".
    std::vector<std::string> calls;
    std::vector<SentEvent> events;
    std::vector<Subscription> subscriptions;  // the ones still active
    std::vector<LogLine> logs;
    std::vector<SentRequest> requests;
    std::vector<ContractBreach> breaches;
    size_t streamReads = 0;
    size_t streamsReleased = 0;

    // Responses of this process's test cores that the plugin freed through their free routine.
    static size_t FreedResponses();

private:
    struct LoadedPlugin;
    struct ApiTable {
        PluginCoreApi api;
        TestCore* core;
        LoadedPlugin* plugin;  // null for the in-process table
    };
    struct QueuedEvent {
        std::string name;
        BindingProperty payload;
        uint32_t senderHandle;
    };
    // Marks a call into the plugins; when the outermost one ends, the events sent meanwhile are delivered.
    class Entry {
    public:
        explicit Entry(TestCore& core) : core_(core) { ++core_.depth_; }
        ~Entry();
        Entry(const Entry&) = delete;
        Entry& operator=(const Entry&) = delete;

    private:
        TestCore& core_;
    };
    struct Activity {
        const LoadedPlugin* plugin;  // null for the in-process plugin and for a plugin being loaded
        PluginActivity told;
    };
    // Marks, while it lives, that the core reads what a plugin handed over.
    class Reading {
    public:
        Reading(TestCore& core, const LoadedPlugin* plugin, std::string what);
        ~Reading();
        Reading(const Reading&) = delete;
        Reading& operator=(const Reading&) = delete;

    private:
        TestCore& core_;
    };

    static ApiTable& Table(const PluginCoreApi* api);
    static TestCore& From(const PluginCoreApi* api) { return *Table(api).core; }
    static std::string_view PluginName(const PluginCoreApi* api);
    static uint32_t HandleOf(const PluginCoreApi* api);
    // The plugin as a breach names it: its short name, or "the plugin" for the in-process one.
    static std::string Named(const LoadedPlugin* plugin);

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

    // Runs a plugin's code: it is the activity told to the listener meanwhile, and an exception that leaves the
    // plugin becomes a Fail. False when one did.
    template <class Code>
    bool RunPlugin(const LoadedPlugin* plugin, std::string name, std::string what, Code&& code);
    void PushActivity(const LoadedPlugin* plugin, std::string name, std::string what, bool reading);
    void PopActivity();
    // A plugin calls the core only from the code the core runs for it, on the same thread, and at most
    // kMaxStepCalls times while the core serves one call; other calls are a Fail and are ignored. A call from
    // another thread touches nothing of the core's but the plugin's count of stray calls, which the core's thread
    // tells as a Fail (TellStrayCalls) once it leaves the plugins' code.
    enum class Admission { Accepted, NotInItsCode, PastItsStep };
    Admission AcceptsCallFrom(const LoadedPlugin* caller, const char* operation);
    void TellStrayCalls();
    // Counts what a plugin's call hands the core to keep against the bounds of one call of the core (values and
    // bytes); false, after a Fail, when it goes past them: the call is then ignored.
    bool Takes(const LoadedPlugin* caller, size_t values, size_t bytes);
    bool Overflows(const LoadedPlugin* caller, const std::string& what);
    void Breach(ContractBreach::Severity severity, const LoadedPlugin* plugin, std::string text);

    CallResult FetchQuietly(const std::string& uri) const;
    void Store(std::string_view method, std::string uri, const BindingProperty& value, std::string_view eventType);
    // Answers a plugin's request from the store; returns the answer in a few words.
    std::string AnswerFromStore(PluginResponseRecord& response, const std::string& url);
    // Answers a plugin's request with what another plugin answered, in storage of the core's own.
    void AnswerFromCall(PluginResponseRecord& response, const CallResult& result);
    // The route of a loaded plugin other than the sender that serves the request, or null.
    struct Route;
    const Route* FindRoute(uint32_t method, std::string_view methodName, std::string_view path,
                           uint32_t exceptHandle, bool* pathServed) const;
    // Calls the route's dispatch callback with the record and reads its response, checked, into the result; the
    // response is then freed through its free routine. `title` is "GET /x".
    CallResult Dispatch(const Route& route, const PluginRequestRecord& record, const std::string& title);
    // Reads a plugin's response record; a Fail leaves the result a 500 whose error is the breach.
    void ReadResponse(const LoadedPlugin* plugin, const std::string& title, PluginResponseRecord& response,
                      CallResult& result);
    bool ReadStreamedBody(const LoadedPlugin* plugin, const std::string& title, PluginResponseRecord& response,
                          CallResult& result);
    // Calls the callbacks subscribed under the name, except those of the plugin with the given handle.
    size_t DeliverEvent(std::string_view name, const BindingProperty& payload, uint32_t exceptHandle);
    void DeliverResourceEvent(const std::string& uri, std::string_view eventType, const BindingProperty& data);
    void DeliverQueuedEvents();
    const LoadedPlugin* PluginByHandle(uint32_t handle) const;
    void Unload(LoadedPlugin& plugin);
    // The plugin's live bytes by its GetMemoryStats; false when it could not tell.
    bool LiveBytes(const LoadedPlugin& plugin, const char* when, uint64_t& bytes);
    void Tell(const std::string& line) const;
    uint32_t NextRequestId() { return ++lastRequestId_; }

    ApiTable table_;
    uint32_t pluginHandle_ = 0x51;
    std::map<std::string, ResourceAnswer, std::less<>> resources_;
    std::vector<std::unique_ptr<LoadedPlugin>> plugins_;
    std::deque<QueuedEvent> queuedEvents_;
    std::deque<Activity> activities_;  // a deque: each activity's `within` points into it
    // The thread the core runs the plugins' code on while it does (activities_ holds something); none otherwise.
    // Read by any thread that calls the core.
    std::atomic<std::thread::id> codeThread_{};
    int depth_ = 0;
    int requestNesting_ = 0;  // requests from plugin to plugin in progress, one inside the other
    uint32_t lastRequestId_ = 0;
    uint32_t nextPlugin_ = 0;
    std::function<void(std::string_view)> story_;
    std::function<void(const SentEvent&)> eventListener_;
    std::function<void(const PluginActivity*)> activityListener_;
    std::function<void(const ContractBreach&)> breachListener_;
};

}  // namespace Zarvo::DevCore
