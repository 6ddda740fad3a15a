// A core written to mistreat the plugin: it opens the built library, calls its entry point and drives the plugin
// only through the C contract (load block, entry table, init block, its own function table, the dispatch callbacks
// of the API description, event callbacks and response free routines). Every record it sends may be malformed on
// purpose; every record the plugin hands back is checked for its shape before it is read.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "abi/plugin_abi.h"

namespace Hostile {

// The built library's entry point; the library is opened once per process and stays loaded.
PluginLoadFunction EntryPoint();

// Core values built by a test. Everything a value points to belongs to this object and stays in place as long as
// it lives; the plugin only reads these values.
class Values {
public:
    Values() = default;
    Values(const Values&) = delete;
    Values& operator=(const Values&) = delete;

    static PluginValue Null();
    static PluginValue Bool(bool value);
    static PluginValue Signed(int64_t value);
    static PluginValue Unsigned(uint64_t value);
    static PluginValue Float(double value);
    // Any kind with any pointer and count, for records no well-behaved core sends.
    static PluginValue Raw(uint32_t kind, const void* data, uint32_t count);

    // A borrowed text, NUL-terminated, with its length as the length word.
    PluginValue Text(std::string_view text);
    // The bytes exactly as given, in a block of exactly that size (no NUL after them unless given), with any length
    // word: an over-read of the block is caught by the address sanitizer.
    PluginValue TextWithLength(std::string_view bytes, uint32_t lengthWord);
    PluginValue Bytes(std::string_view bytes);
    PluginValue Array(std::vector<PluginValue> elements);
    // Keys are kept NUL-terminated; ownsKey is 0, as the core's own values have it.
    PluginValue Object(const std::vector<std::pair<std::string, PluginValue>>& members);
    // The JSON text as core values: objects as kind 10, arrays as kind 9, texts as kind 5, whole numbers as kind 2
    // (kind 3 beyond the signed range), other numbers as kind 4.
    PluginValue Json(std::string_view json);
    // levels arrays, each holding the next as its only element, around a null.
    PluginValue Nested(size_t levels);
    // A resource event {uri, eventType, data} as another plugin publishes it.
    PluginValue ResourceEvent(std::string_view uri, std::string_view eventType, const PluginValue& data);

    // A NUL-terminated copy that lives as long as this object.
    const char* Keep(std::string_view text);

private:
    std::deque<std::unique_ptr<char[]>> blocks_;
    std::deque<std::vector<PluginValue>> arrays_;
    std::deque<std::vector<PluginValueEntry>> objects_;
};

// A core value the plugin handed over, as compact JSON (texts and keys read up to their length word; blobs as
// {"blob":"<hex>"}). Throws std::runtime_error when the record is malformed: an unknown kind, a text whose length
// word disagrees with its NUL, an array or object whose pointer is null while its count is not 0.
std::string Render(const PluginValue& value);

struct LogLine {
    int32_t level;
    std::string text;
};

struct SentEvent {
    std::string name;
    std::string payload;  // rendered
};

struct Subscription {
    std::string name;
    uint32_t pluginHandle;
    PluginEventCallback callback;
    void* context;
    uint32_t kind;
};

// A response record the plugin filled, read and then freed through its own free routine.
struct Answer {
    uint32_t status = 0;
    uint8_t errorFlag = 0;
    bool hasErrorText = false;
    std::string error;
    std::string value;  // rendered
    std::string text;
    std::vector<std::pair<std::string, std::string>> headers;
};

// How the core answers the plugin's requests for one URL: it fills the (zeroed) response record.
using Responder = std::function<void(PluginResponseRecord& response, const PluginRequestRecord& request)>;

// A body handed out in pieces, one per read; a read of the given index may fail.
struct StreamScript {
    std::vector<std::string> chunks;
    int failingRead = -1;
};

// One core hosting one instance of the plugin. Its function table sits inside the object: it must not move.
class HostileCore {
public:
    HostileCore();
    // Destroys the instance when the test left it alive.
    ~HostileCore();
    HostileCore(const HostileCore&) = delete;
    HostileCore& operator=(const HostileCore&) = delete;

    // Calls the entry point with a core of the given plugin API version; true when the block came back with an
    // entry table and an instance. The outputs are copied, and the description's function entries with them, so
    // that they can still be used (as a careless core would) once the plugin is gone.
    bool Load(uint32_t major = 18, uint32_t minor = 0, uint32_t patch = 0);
    // Init with this core's table (or the given block); returns Init's result.
    uint8_t Init();
    uint8_t Init(const PluginInitBlock* init);
    // Load and Init.
    bool Start();
    // Destroy through the entry table kept at load, with the instance kept at load; may be repeated on purpose.
    void Destroy();
    // The counters of the entry table's GetMemoryStats, asked with the given instance.
    PluginMemoryStats Stats(void* instance);
    PluginMemoryStats Stats() { return Stats(instance); }
    static uint64_t LiveBytes(const PluginMemoryStats& stats) { return stats.bytesAllocated - stats.bytesFreed; }

    // The load block's outputs as they came back.
    PluginLoadBlock block{};
    const PluginEntryTable* entryTable = nullptr;
    void* instance = nullptr;
    std::string shortName;

    struct Function {
        std::string name;
        std::string path;
        uint32_t method;
        PluginDispatchCallback dispatch;
        void* context;
    };
    std::vector<Function> functions;
    // The function with that method and path template; fails the process loudly when there is none.
    const Function& FunctionFor(uint32_t method, std::string_view pathTemplate) const;

    // The core's function table; a test may clear slots before Init.
    PluginCoreApi& Api() { return table_.api; }
    PluginInitBlock InitBlock() const { return {&table_.api, pluginHandle}; }
    uint32_t pluginHandle = 0x4B1D;

    // Answers to the plugin's requests, by URL (the request's whole path). A URL without one is answered with
    // status 404, the error text "Not found" and the error flag.
    void Answer(std::string url, Responder responder);
    // The value stays the test's (build it with `values`).
    void AnswerValue(std::string url, const PluginValue& value);
    // The error text may be null; the flag is written as given.
    void AnswerError(std::string url, uint32_t status, const char* errorText, uint8_t errorFlag);
    void AnswerStream(std::string url, StreamScript script);

    // Run by the core's Yield and WriteLog after they recorded the call; they may call into the plugin.
    std::function<void()> onYield;
    std::function<void(int32_t level, const char* text)> onWriteLog;

    // Calls every callback subscribed under the name with an event record carrying the payload and the context given
    // at subscription; returns how many were called.
    size_t Deliver(std::string_view eventName, const PluginValue& payload);
    // The record exactly as given (null, or with any name, payload and context) to every callback subscribed under
    // subscriptionName.
    size_t DeliverRecord(std::string_view subscriptionName, const PluginEventRecord* record);

    // A request record for the function: method, path and its dispatch context; the test may change any field.
    PluginRequestRecord Request(const Function& function, std::string_view path);
    // The same with a body (in a block of exactly its size: a read past its length is caught) and content type.
    PluginRequestRecord Request(const Function& function, std::string_view path, std::string_view contentType,
                                std::string_view body);
    // Calls the function's dispatch callback with a zeroed response record, reads the answer and frees the record
    // through the free routine the plugin stored in it.
    Hostile::Answer Call(const Function& function, const PluginRequestRecord& request);
    Hostile::Answer Call(const Function& function, std::string_view path);
    // A call with a body and content type.
    Hostile::Answer Call(const Function& function, std::string_view path, std::string_view contentType,
                         std::string_view body);

    // What the plugin did, in order; read once the calls into the plugin have returned.
    // "SubscribeEvent <name> <kind>", "UnsubscribeEvent <name>", "SendRequest <url>", "SendEvent <name>", "Yield",
    // "BeginWait <label> <zero>", "EndWait", "WriteLog <level> <text>".
    std::vector<std::string> Calls() const;
    std::vector<LogLine> Logs() const;
    std::vector<SentEvent> Events() const;
    std::vector<Subscription> Subscriptions() const;
    size_t CountCalls(std::string_view prefix) const;
    void ClearRecords();

    // When false the core keeps no record of what the plugin did, only how much of it: for runs of millions of
    // calls, whose records would outgrow what is measured.
    bool recording = true;
    struct Totals {
        size_t calls = 0;
        size_t events = 0;
        size_t logs = 0;
    };
    // Counted whether or not the core records.
    Totals Counted() const;

    Values values;

private:
    struct Table {
        PluginCoreApi api;
        HostileCore* core;
    };
    static HostileCore& From(const PluginCoreApi* api);
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

    void Record(std::string call);
    std::vector<Subscription> SubscribedAs(std::string_view eventName) const;

    Table table_;
    mutable std::mutex mutex_;
    std::map<std::string, Responder, std::less<>> answers_;
    std::vector<std::string> calls_;
    std::vector<LogLine> logs_;
    std::vector<SentEvent> events_;
    std::vector<Subscription> subscriptions_;
    Totals totals_;
    bool destroyed_ = false;
};

// Response records the cores of this process handed to the plugin and that the plugin freed through their routine.
size_t FreedCoreResponses();
// Streams the cores of this process handed out and that the plugin released.
size_t ReleasedStreams();

}  // namespace Hostile
