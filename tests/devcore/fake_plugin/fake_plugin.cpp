// A small plugin written against the C contract, for the devcore tests. It serves the game-queue list as a streamed
// body and an echo of the request record it receives (or, for the body "bad headers", a header count without the
// headers), describes a function without a dispatch routine, logs the level of every level-up event it hears, and logs
// "destroyed" in Destroy. The echo never returns for the body "hang"; after the body "hang in Destroy", Destroy never
// returns. Built three ways: as it is, speaking plugin API 17, and with an Init that fails.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "abi/plugin_abi.h"
#include "binding/property.h"
#include "formats/plugin_value.h"
#include "platform/allocation.h"

#ifndef FAKE_API_MAJOR
#define FAKE_API_MAJOR 18
#endif
#ifndef FAKE_INIT_RESULT
#define FAKE_INIT_RESULT 1
#endif

namespace {

const PluginInitBlock* initBlock = nullptr;
bool hangInDestroy = false;

[[noreturn]] void Hang() {
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}

void Log(int32_t level, const std::string& text) {
    if (initBlock) initBlock->api->WriteLog(initBlock->api, level, text.c_str());
}

struct Stream {
    std::string body;
    size_t offset = 0;
};

// Hands out ten bytes a read, so that a body takes several.
uint8_t KIV_CDECL ReadStream(void* object, uint8_t* buffer, uint32_t* count, uint8_t* moreToCome) {
    auto& stream = *static_cast<Stream*>(object);
    const size_t length = std::min<size_t>({*count, 10, stream.body.size() - stream.offset});
    std::memcpy(buffer, stream.body.data() + stream.offset, length);
    stream.offset += length;
    *count = static_cast<uint32_t>(length);
    *moreToCome = stream.offset < stream.body.size();
    return 1;
}

void KIV_CDECL ReleaseStream(void* object) { delete static_cast<Stream*>(object); }

void KIV_CDECL FreeResponse(PluginResponseRecord* response) {
    Zarvo::ClearPluginValue(response->result);
    Zarvo::Release(response->errorText);
    *response = PluginResponseRecord{};
}

void KIV_CDECL ServeQueues(PluginResponseRecord* response, const PluginRequestRecord*) {
    *response = PluginResponseRecord{};
    response->free = FreeResponse;
    response->status = 200;
    auto* stream = new Stream{R"([{"id":420,"minLevel":5},{"id":830,"minLevel":3},{"id":440,"minLevel":5}])"};
    response->stream = stream;
    response->streamLength = static_cast<uint32_t>(stream->body.size());
    response->streamRead = ReadStream;
    response->streamRelease = ReleaseStream;
}

// Answers the request record as a value: what a core filled in, field by field.
void KIV_CDECL ServeEcho(PluginResponseRecord* response, const PluginRequestRecord* request) {
    *response = PluginResponseRecord{};
    response->free = FreeResponse;
    const PluginRequestRecord record = *request;
    if (record.bodyLength > 0 && std::string_view(reinterpret_cast<const char*>(record.body)) == "fail") {
        response->errorText = Zarvo::Duplicate("asked to fail");
        response->errorFlag = 1;
        response->status = 503;
        return;
    }
    const std::string_view body =
        record.bodyLength > 0 ? std::string_view(reinterpret_cast<const char*>(record.body)) : std::string_view();
    if (body == "hang") Hang();
    if (body == "hang in Destroy") hangInDestroy = true;
    if (record.bodyLength > 0 && std::string_view(reinterpret_cast<const char*>(record.body)) == "bad headers") {
        response->headerCount = 2;  // and no headers
        return;
    }
    Zarvo::BindingProperty echo;
    echo.ChildForWrite("method").SetUnsigned(record.method);
    echo.ChildForWrite("methodName").SetString(record.methodName ? record.methodName : "");
    echo.ChildForWrite("path").SetString(record.path);
    echo.ChildForWrite("contentType").SetString(record.contentType ? record.contentType : "");
    if (record.body) {
        echo.ChildForWrite("body").SetString(
            std::string_view(reinterpret_cast<const char*>(record.body), record.bodyLength));
        echo.ChildForWrite("bodyEndsWithZero").SetBool(record.body[record.bodyLength] == 0);
    }
    Zarvo::BindingProperty& headers = echo.ChildForWrite("headers");
    headers.MakeCollection();
    for (uint32_t i = 0; i < record.headerCount; ++i)
        headers.Element(i).SetString(std::string(record.headers[i].name) + ": " + record.headers[i].value);
    Zarvo::BindingProperty& items = echo.ChildForWrite("items");
    items.MakeCollection();
    for (uint32_t i = 0; i < record.itemCount; ++i) {
        Zarvo::BindingProperty& item = items.Element(i);
        const char* name = record.items[i].name;
        item.ChildForWrite("name").SetString(name ? name : "(positional)");
        std::string error;
        Zarvo::FromPluginValue(error, item.ChildForWrite("value"), record.items[i].value, "item");
    }
    Zarvo::ToPluginValue(response->result, echo, nullptr);
}

void KIV_CDECL HearLevelUp(const PluginEventRecord* event) {
    Zarvo::BindingProperty payload;
    std::string error;
    Zarvo::FromPluginValue(error, payload, event->payload, "<event>");
    Log(0, "heard level " + std::to_string(payload.Child("data").Child("newSummonerLevel").GetUnsigned(0)));
}

ApiFunctionEntry MakeEntry(const char* name, const char* path, uint32_t method, PluginDispatchCallback dispatch) {
    ApiFunctionEntry entry{};
    entry.function.name = name;
    entry.path = path;
    entry.method = method;
    entry.dispatch = dispatch;
    return entry;
}

ApiFunctionEntry functions[] = {
    MakeEntry("GetQueues", "/kiv-game-queues/v1/queues", 2, ServeQueues),
    MakeEntry("Echo", "/kiv-fake/v1/echo/{+rest}", 0, ServeEcho),
    MakeEntry("Undispatched", "/kiv-fake/v1/undispatched", 0, nullptr),
};
PluginApiDescription description{};

uint8_t KIV_CDECL Init(void*, const PluginInitBlock* init) {
    initBlock = init;
    init->api->SubscribeEvent(init->api, "OnJsonApiEvent_kiv-player-level-up_v1_level-up", init->pluginHandle,
                              HearLevelUp, nullptr, PluginSubscribeResource);
    return FAKE_INIT_RESULT;
}

void KIV_CDECL GetMemoryStats(void*, PluginMemoryStats* stats) { *stats = PluginMemoryStats{}; }

void KIV_CDECL Destroy(void*) {
    if (hangInDestroy) Hang();
    Log(0, "destroyed");
    initBlock = nullptr;
}

const PluginEntryTable entryTable{Init, GetMemoryStats, Destroy};
int instance;

}  // namespace

extern "C" KIV_EXPORT void KIV_CDECL FAKE_ENTRY(PluginLoadBlock* block) {
    functions[0].next = &functions[1];
    functions[1].next = &functions[2];
    description.functions = functions;
    description.functionCount = 3;
    block->versionMajor = FAKE_API_MAJOR;
    block->versionMinor = 0;
    block->versionPatch = 0;
    block->entryTable = &entryTable;
    block->instance = &instance;
    block->shortName = FAKE_NAME;
    block->description = &description;
}
