// A plugin for the devcore tests that breaks the C contract in the one way that the environment variable
// KIV_FAKE_BREACH names, and keeps it otherwise. It serves GET /<name>/v1/thing, which answers "fine", and
// /<name>/v1/loop, and follows the event OnJsonApiEvent_kiv-fake_v1_ping. Built twice, as kiv-fake-breach and as its
// peer kiv-fake-breach-peer, so that two plugins can drive each other in circles. The ways:
//   dispatch-crash, dispatch-abort, dispatch-throw, dispatch-hang   in the dispatch of /thing
//   breaches-then-crash  /thing subscribes with a null callback KIV_FAKE_SENDS times, then crashes
//   thread-crash         /thing answers, and a thread of the plugin's own crashes 50 ms later
//   destroy-crash        in Destroy
//   null-callback, wrong-handle   the subscription made in Init
//   self-chain           the API description's first entry chained to itself
//   header-count         /thing answers a header count of 0xFFFFFFFF with one pair
//   unterminated-text    /thing answers a text whose length word is not followed by a NUL
//   self-array, huge-array, huge-object, kind-77   /thing answers such a value
//   no-free              /thing answers without a free routine
//   cyclic-payload       /thing sends an event whose payload contains itself
//   stream-overreport    /thing answers a stream whose read reports more bytes than the buffer holds
//   request-loop         /thing and /loop request the peer's /loop
//   event-storm          each ping heard is sent again (at most KIV_FAKE_SENDS times, when that is set)
//   yield-loop           /thing calls Yield KIV_FAKE_SENDS times, or for ever when that is not set
//   event-flood          /thing sends as many events, each an array of 999 numbers (1,000 values)
//   log-flood            /thing writes as many log lines of 512 KiB
//   event-throw          a ping heard throws
//   own-thread           Init writes a log line from a thread of its own
//   thread-logs          /thing writes 1,000 log lines from a thread of its own while it calls Yield 1,000 times
// and two that a plugin may mean, which the core only warns of:
//   left-subscription    Destroy leaves the ping subscribed
//   memory-growth        GetMemoryStats tells 500 bytes more live after Destroy than before Init
// and one that keeps the contract at its edge:
//   largest-tree         /thing answers an array of 999,999 numbers, a tree of as many values as the core takes
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

#include "abi/plugin_abi.h"

namespace {

std::string breach;
const PluginInitBlock* initBlock = nullptr;

bool Is(const char* way) { return breach == way; }

void KIV_CDECL FreeResponse(PluginResponseRecord* response) { *response = PluginResponseRecord{}; }

PluginValue Span(uint32_t kind, const void* data, uint32_t count) {
    PluginValue value{};
    value.kind = kind;
    value.payload.span = {data, count};
    return value;
}

// Storage of the broken answers: static, so that a core that reads them as told stays within bounds.
const char kNoNul[] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'};
const PluginHeaderPair kOnePair[] = {{"X-One", "1"}};
PluginValue selfArray[1];
PluginValue someValues[2];
PluginValueEntry someEntries[1];
PluginValue kind77;
PluginValueEntry kind77Data[1];
PluginValueEntry cycle[1];
PluginValue largest[999'999];
std::string longLine(512 * 1024, 'x');

// How many times a flood repeats: KIV_FAKE_SENDS, or for ever.
bool Again(long& done) {
    const char* limit = std::getenv("KIV_FAKE_SENDS");
    return !limit || done++ < std::atol(limit);
}

// A store to an address no process maps, through a pointer the compiler cannot see through: a real access fault, as
// a plugin's crash is. Raising SIGSEGV would be none, and Windows' C runtime merely exits with status 3 for it.
int* volatile nowhere = reinterpret_cast<int*>(uintptr_t{16});
void Crash() { *nowhere = 1; }

uint8_t KIV_CDECL OverReport(void*, uint8_t*, uint32_t* count, uint8_t* moreToCome) {
    *count = 5000;
    *moreToCome = 0;
    return 1;
}

void KIV_CDECL ReleaseNothing(void*) {}

void Request(const char* path) {
    PluginRequestRecord request{};
    request.method = 2;
    request.path = path;
    request.requestId = initBlock->pluginHandle;
    PluginResponseRecord response{};
    initBlock->api->SendRequest(initBlock->api, &response, &request);
    if (response.free) response.free(&response);
}

void KIV_CDECL ServeThing(PluginResponseRecord* response, const PluginRequestRecord*) {
    *response = PluginResponseRecord{};
    response->free = FreeResponse;
    response->result = Span(PluginValueBorrowedString, "fine", 4);
    if (Is("dispatch-crash")) Crash();
    if (Is("breaches-then-crash")) {
        for (long done = 0; Again(done);)
            initBlock->api->SubscribeEvent(initBlock->api, "OnJsonApiEvent_kiv-fake_v1_other", initBlock->pluginHandle,
                                           nullptr, nullptr, PluginSubscribeResource);
        Crash();
    }
    if (Is("dispatch-abort")) std::abort();
    if (Is("thread-crash"))
        std::thread([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            Crash();
        }).detach();
    if (Is("dispatch-throw")) throw std::runtime_error("no thing today");
    if (Is("dispatch-hang"))
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
    if (Is("header-count")) {
        response->headers = const_cast<PluginHeaderPair*>(kOnePair);
        response->headerCount = 0xFFFFFFFF;
    }
    if (Is("unterminated-text")) response->result = Span(PluginValueBorrowedString, kNoNul, 4);
    if (Is("self-array")) {
        selfArray[0] = Span(PluginValueArray, selfArray, 1);
        response->result = selfArray[0];
    }
    if (Is("huge-array")) response->result = Span(PluginValueArray, someValues, 0xFFFFFFFF);
    if (Is("huge-object")) response->result = Span(PluginValueObject, someEntries, 0xFFFFFFFF);
    if (Is("kind-77")) {
        kind77.kind = 77;
        kind77Data[0] = {"data", kind77, 0};
        response->result = Span(PluginValueObject, kind77Data, 1);
    }
    if (Is("no-free")) response->free = nullptr;
    if (Is("largest-tree")) response->result = Span(PluginValueArray, largest, 999'999);
    if (Is("stream-overreport")) {
        response->result = PluginValue{};
        response->streamRead = OverReport;
        response->streamRelease = ReleaseNothing;
    }
    if (Is("cyclic-payload")) {
        cycle[0] = {"self", Span(PluginValueObject, cycle, 1), 0};
        PluginEventRecord event{"OnJsonApiEvent_kiv-fake_v1_cycle", {}, 0, nullptr};
        event.payload = Span(PluginValueObject, cycle, 1);
        initBlock->api->SendEvent(initBlock->api, &event);
    }
    if (Is("request-loop")) Request("/" FAKE_PEER "/v1/loop");
    if (Is("thread-logs")) {
        const PluginInitBlock* init = initBlock;
        std::thread logger([init] {
            for (int i = 0; i < 1000; ++i) init->api->WriteLog(init->api, 0, "from a thread");
        });
        for (int i = 0; i < 1000; ++i) init->api->Yield(init->api);
        logger.join();
    }
    long done = 0;
    if (Is("yield-loop"))
        while (Again(done)) initBlock->api->Yield(initBlock->api);
    if (Is("event-flood"))
        while (Again(done)) {
            PluginEventRecord event{"OnJsonApiEvent_kiv-fake_v1_flood", {}, 0, nullptr};
            event.payload = Span(PluginValueArray, largest, 999);
            initBlock->api->SendEvent(initBlock->api, &event);
        }
    if (Is("log-flood"))
        while (Again(done)) initBlock->api->WriteLog(initBlock->api, 0, longLine.c_str());
}

void KIV_CDECL ServeLoop(PluginResponseRecord* response, const PluginRequestRecord*) {
    *response = PluginResponseRecord{};
    response->free = FreeResponse;
    Request("/" FAKE_PEER "/v1/loop");
}

void KIV_CDECL HearPing(const PluginEventRecord* event) {
    if (Is("event-throw")) throw std::logic_error("a ping was not expected");
    if (!Is("event-storm")) return;
    static long sent = 0;
    const char* limit = std::getenv("KIV_FAKE_SENDS");
    if (limit && sent >= std::atol(limit)) return;
    ++sent;
    PluginEventRecord again{event->name, {}, 0, nullptr};
    initBlock->api->SendEvent(initBlock->api, &again);
}

ApiFunctionEntry MakeEntry(const char* name, const char* path, PluginDispatchCallback dispatch) {
    ApiFunctionEntry entry{};
    entry.function.name = name;
    entry.path = path;
    entry.method = 2;
    entry.dispatch = dispatch;
    return entry;
}

ApiFunctionEntry functions[] = {
    MakeEntry("GetThing", "/" FAKE_NAME "/v1/thing", ServeThing),
    MakeEntry("GetLoop", "/" FAKE_NAME "/v1/loop", ServeLoop),
};
PluginApiDescription description{};

uint8_t KIV_CDECL Init(void*, const PluginInitBlock* init) {
    initBlock = init;
    const uint32_t handle = Is("wrong-handle") ? init->pluginHandle + 1000 : init->pluginHandle;
    const PluginEventCallback callback = Is("null-callback") ? nullptr : HearPing;
    init->api->SubscribeEvent(init->api, "OnJsonApiEvent_kiv-fake_v1_ping", handle, callback, nullptr,
                              PluginSubscribeResource);
    if (Is("own-thread")) std::thread([init] { init->api->WriteLog(init->api, 0, "from a thread"); }).join();
    return 1;
}

void KIV_CDECL GetMemoryStats(void*, PluginMemoryStats* stats) {
    static int calls = 0;
    *stats = PluginMemoryStats{};
    if (Is("memory-growth")) stats->bytesAllocated = calls++ == 0 ? 1000 : 1500;
}

void KIV_CDECL Destroy(void*) {
    if (Is("destroy-crash")) Crash();
    if (initBlock && !Is("wrong-handle") && !Is("null-callback") && !Is("left-subscription"))
        initBlock->api->UnsubscribeEvent(initBlock->api, "OnJsonApiEvent_kiv-fake_v1_ping", initBlock->pluginHandle);
    initBlock = nullptr;
}

const PluginEntryTable entryTable{Init, GetMemoryStats, Destroy};
int instance;

}  // namespace

extern "C" KIV_EXPORT void KIV_CDECL FAKE_ENTRY(PluginLoadBlock* block) {
    const char* way = std::getenv("KIV_FAKE_BREACH");
    breach = way ? way : "";
    functions[0].next = Is("self-chain") ? &functions[0] : &functions[1];
    description.functions = functions;
    description.functionCount = 2;
    block->versionMajor = 18;
    block->versionMinor = 0;
    block->versionPatch = 0;
    block->entryTable = &entryTable;
    block->instance = &instance;
    block->shortName = FAKE_NAME;
    block->description = &description;
}
