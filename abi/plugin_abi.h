/*
 * The C contract between the core (the host process) and this plugin.
 *
 * Every record that crosses the boundary is packed, in the field order the
 * core expects. Fields holding a pointer take the native pointer width; all
 * other fields have a fixed width. Under a 32-bit build the offsets and sizes
 * are the core's own and are checked below.
 */
#ifndef KIV_PLUGIN_ABI_H
#define KIV_PLUGIN_ABI_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define KIV_CDECL __cdecl
#else
#define KIV_CDECL
#endif

#if defined(_WIN32)
#define KIV_EXPORT __declspec(dllexport)
#else
#define KIV_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
#define KIV_STATIC_ASSERT static_assert
extern "C" {
#else
#define KIV_STATIC_ASSERT _Static_assert
#endif

#pragma pack(push, 1)

typedef struct PluginCoreApi PluginCoreApi;
typedef struct PluginResponseRecord PluginResponseRecord;
typedef struct PluginRequestRecord PluginRequestRecord;
typedef struct PluginMemoryStats PluginMemoryStats;
typedef struct PluginInitBlock PluginInitBlock;
typedef struct PluginApiDescription PluginApiDescription;

/* ---- Core values ------------------------------------------------------- */

/* Kinds of a core value. */
typedef enum PluginValueKind {
    PluginValueNull = 0,
    PluginValueBool = 1,
    PluginValueSigned = 2,
    PluginValueUnsigned = 3,
    PluginValueFloat = 4,
    PluginValueBorrowedString = 5,
    PluginValueOwnedString = 6,
    PluginValueBorrowedBytes = 7,
    PluginValueOwnedBytes = 8,
    PluginValueArray = 9,
    PluginValueObject = 10
} PluginValueKind;

typedef struct PluginValue PluginValue;
typedef struct PluginValueEntry PluginValueEntry;

/* Pointer and count of a text, byte array, array or object value. */
typedef struct PluginValueSpan {
    const void* data;
    uint32_t count;
} PluginValueSpan;

/* A tagged value as it crosses the boundary; kind selects the payload member. */
struct PluginValue {
    uint32_t kind;
    union {
        uint8_t boolean;
        int64_t i64;
        uint64_t u64;
        double f64;
        PluginValueSpan span;
    } payload;
};

/* One member of an object value; the key is freed with it when ownsKey is 1. */
struct PluginValueEntry {
    const char* key;
    PluginValue value;
    uint8_t ownsKey;
};

/* ---- Events -------------------------------------------------------------- */

/* An event as sent with SendEvent or delivered to a subscription callback. */
typedef struct PluginEventRecord {
    const char* name;
    PluginValue payload;
    uint32_t reserved;
    void* context;
} PluginEventRecord;

/* Called by the core for each event of a subscribed name. */
typedef void(KIV_CDECL* PluginEventCallback)(const PluginEventRecord* event);

/* Subscription kinds of SubscribeEvent. */
enum { PluginSubscribeResource = 0, PluginSubscribeServiceProxy = 1 };

/* ---- Requests and responses ---------------------------------------------- */

/* A named (or positional, name null) argument of a request. */
typedef struct PluginArgumentItem {
    const char* name;
    PluginValue value;
} PluginArgumentItem;

/* A header name and value. */
typedef struct PluginHeaderPair {
    const char* name;
    const char* value;
} PluginHeaderPair;

/* A request to a plugin function, laid out by its sender. */
struct PluginRequestRecord {
    uint32_t method;
    const char* path;
    const PluginArgumentItem* items;
    uint32_t itemCount;
    void* dispatchContext;
    const PluginHeaderPair* headers;
    uint32_t headerCount;
    const char* contentType;
    const uint8_t* body;
    uint32_t bodyLength;
    uint32_t requestId; /* the sender's pluginHandle on outgoing requests */
    const char* methodName;
};

/* Reads the next piece of a streamed body; count is the room on entry, the bytes written on return. */
typedef uint8_t(KIV_CDECL* PluginStreamRead)(void* stream, uint8_t* buffer, uint32_t* count, uint8_t* moreToCome);
/* Ends a streamed body and frees the stream object. */
typedef void(KIV_CDECL* PluginStreamRelease)(void* stream);
/* Frees what a response record holds; set by whoever filled it. */
typedef void(KIV_CDECL* PluginResponseFree)(PluginResponseRecord* response);

/* The answer to a request, owned by the caller and filled by the callee. */
struct PluginResponseRecord {
    PluginValue result;
    char* errorText;
    uint8_t errorFlag;
    uint8_t outputFlag;
    uint32_t outputFormat;
    uint32_t status;
    const char* text;
    PluginHeaderPair* headers;
    uint32_t headerCount;
    PluginStreamRead streamRead;
    PluginStreamRelease streamRelease;
    uint32_t streamLength;
    uint32_t reserved;
    void* stream;
    PluginResponseFree free;
};

/* The entry through which the core calls an exported function. */
typedef void(KIV_CDECL* PluginDispatchCallback)(PluginResponseRecord* response, const PluginRequestRecord* request);

/* ---- The core's function table --------------------------------------------- */

/* A core operation whose shape this plugin does not rely on. */
typedef void(KIV_CDECL* PluginOpaqueFunction)(void);

/* Operations of the core; each takes the table's own address first. */
struct PluginCoreApi {
    void(KIV_CDECL* SendRequest)(const PluginCoreApi* api, PluginResponseRecord* response, const PluginRequestRecord* request);
    PluginOpaqueFunction Reserved1;
    void(KIV_CDECL* SendEvent)(const PluginCoreApi* api, const PluginEventRecord* event);
    void(KIV_CDECL* SubscribeEvent)(const PluginCoreApi* api, const char* name, uint32_t pluginHandle,
                                    PluginEventCallback callback, void* context, uint32_t kind);
    void(KIV_CDECL* UnsubscribeEvent)(const PluginCoreApi* api, const char* name, uint32_t pluginHandle);
    PluginOpaqueFunction Reserved5;
    void(KIV_CDECL* Yield)(const PluginCoreApi* api);
    void(KIV_CDECL* BeginWait)(const PluginCoreApi* api, const char* label, uint32_t zero);
    void(KIV_CDECL* EndWait)(const PluginCoreApi* api);
    void(KIV_CDECL* WriteLog)(const PluginCoreApi* api, int32_t level, const char* text);
};

/* ---- Load, init and the entry table ------------------------------------------ */

/* Allocation counters handed to the core. */
struct PluginMemoryStats {
    uint64_t peakBytes;
    uint64_t liveBlocksAtPeak;
    uint64_t bytesAllocated;
    uint64_t allocations;
    uint64_t bytesFreed;
    uint64_t releases;
    uint64_t reserved;
};

/* Given to Init: the core's function table and the plugin's handle. */
struct PluginInitBlock {
    const PluginCoreApi* api;
    uint32_t pluginHandle;
};

/* Operations the core calls on a loaded plugin instance. */
typedef struct PluginEntryTable {
    uint8_t(KIV_CDECL* Init)(void* instance, const PluginInitBlock* init);
    void(KIV_CDECL* GetMemoryStats)(void* instance, PluginMemoryStats* stats);
    void(KIV_CDECL* Destroy)(void* instance);
} PluginEntryTable;

/* In: the core's plugin API version. Out: the plugin's version, entry table, instance, name and API. */
typedef struct PluginLoadBlock {
    uint32_t versionMajor;
    uint32_t versionMinor;
    uint32_t versionPatch;
    const PluginEntryTable* entryTable;
    void* instance;
    const char* shortName;
    const PluginApiDescription* description;
} PluginLoadBlock;

/* The plugin's single exported entry point. */
typedef void(KIV_CDECL* PluginLoadFunction)(PluginLoadBlock* block);

/* ---- The API description ------------------------------------------------------ */

typedef struct ApiFunctionRecord ApiFunctionRecord;
typedef struct ApiArgumentRecord ApiArgumentRecord;
typedef struct ApiFunctionEntry ApiFunctionEntry;
typedef struct ApiArgumentLocationRecord ApiArgumentLocationRecord;
typedef struct ApiStringListRecord ApiStringListRecord;
typedef struct ApiTypeRecord ApiTypeRecord;
typedef struct ApiFieldRecord ApiFieldRecord;
typedef struct ApiEnumValueRecord ApiEnumValueRecord;
typedef struct ApiEventRecord ApiEventRecord;

/* One argument of a function, in call order. */
struct ApiArgumentRecord {
    const ApiArgumentRecord* next;
    const char* name;
    const char* description;
    uint32_t typeCode;
    uint32_t elementTypeCode;
    const char* typeName;
    uint8_t optional;
};

/* What describes a function, shared by its function record and its entry. */
typedef struct ApiFunctionBody {
    uint32_t reserved;
    void* dispatchContext;
    const char* name;
    const char* nameSpace;
    const ApiArgumentRecord* arguments;
    uint32_t argumentCount;
    uint32_t resultTypeCode;
    uint32_t resultElementTypeCode;
    const char* resultTypeName;
    const char* description;
    const char* help;
    uint8_t threadSafe;
    const char* asyncResultTypeName;
    const char* const* tags;
    uint32_t tagCount;
} ApiFunctionBody;

/* One registered function. */
struct ApiFunctionRecord {
    const ApiFunctionRecord* next;
    ApiFunctionBody function;
};

/* Where one argument of a callable function may come from. */
struct ApiArgumentLocationRecord {
    const ApiArgumentLocationRecord* next;
    uint32_t location;
};

/* A list of texts attached to a callable function. */
struct ApiStringListRecord {
    const ApiStringListRecord* next;
    const char* const* texts;
    uint32_t count;
};

/* One function the core can call, with its route and dispatch callback. */
struct ApiFunctionEntry {
    const ApiFunctionEntry* next;
    ApiFunctionBody function;
    PluginDispatchCallback dispatch;
    const ApiArgumentLocationRecord* argumentLocations;
    const char* path;
    uint32_t method;
    uint8_t flags;
    const ApiStringListRecord* stringLists;
    uint32_t stringListCount;
    const char* methodName;
};

/* One field of a record type, in declaration order. */
struct ApiFieldRecord {
    const ApiFieldRecord* next;
    const char* name;
    const char* description;
    uint32_t offset;
    uint32_t typeCode;
    uint32_t elementTypeCode;
    const char* typeName;
    uint8_t customConverter;
};

/* One enumerator of an enumeration, in name order. */
struct ApiEnumValueRecord {
    const ApiEnumValueRecord* next;
    const char* name;
    const char* description;
    int32_t value;
};

/* One registered record or enumeration. */
struct ApiTypeRecord {
    const ApiTypeRecord* next;
    const char* name;
    const char* nameSpace;
    uint32_t size;
    const char* description;
    const char* const* tags;
    uint32_t tagCount;
    const ApiFieldRecord* fields;
    const ApiEnumValueRecord* values;
    uint32_t count;
};

/* One registered event and its payload record. */
struct ApiEventRecord {
    const ApiEventRecord* next;
    const char* name;
    const char* nameSpace;
    const char* payloadTypeName;
    const char* description;
    const char* const* tags;
    uint32_t tagCount;
};

/* The plugin's functions, types and events, handed to the core at load. */
struct PluginApiDescription {
    const ApiFunctionEntry* functions;
    uint32_t functionCount;
    const ApiTypeRecord* types;
    uint32_t typeCount;
    const ApiEventRecord* events;
    uint32_t eventCount;
};

#pragma pack(pop)

/* Exported by the plugin library. */
KIV_EXPORT void KIV_CDECL load_kiv_player_level_up(PluginLoadBlock* block);

#define KIV_CHECK_LAYOUT(type, size) KIV_STATIC_ASSERT(sizeof(type) == (size), #type " size")
#define KIV_CHECK_OFFSET(type, field, offset) \
    KIV_STATIC_ASSERT(offsetof(type, field) == (offset), #type "." #field " offset")

#if UINTPTR_MAX == 0xFFFFFFFFu
KIV_CHECK_LAYOUT(PluginValue, 12);
KIV_CHECK_OFFSET(PluginValue, payload, 4);
KIV_CHECK_LAYOUT(PluginValueEntry, 17);
KIV_CHECK_OFFSET(PluginValueEntry, ownsKey, 16);
KIV_CHECK_LAYOUT(PluginEventRecord, 24);
KIV_CHECK_OFFSET(PluginEventRecord, payload, 4);
KIV_CHECK_OFFSET(PluginEventRecord, context, 20);
KIV_CHECK_LAYOUT(PluginArgumentItem, 16);
KIV_CHECK_LAYOUT(PluginHeaderPair, 8);
KIV_CHECK_LAYOUT(PluginRequestRecord, 48);
KIV_CHECK_OFFSET(PluginRequestRecord, dispatchContext, 16);
KIV_CHECK_OFFSET(PluginRequestRecord, contentType, 28);
KIV_CHECK_OFFSET(PluginRequestRecord, requestId, 40);
KIV_CHECK_OFFSET(PluginRequestRecord, methodName, 44);
KIV_CHECK_LAYOUT(PluginResponseRecord, 62);
KIV_CHECK_OFFSET(PluginResponseRecord, errorText, 12);
KIV_CHECK_OFFSET(PluginResponseRecord, errorFlag, 16);
KIV_CHECK_OFFSET(PluginResponseRecord, outputFlag, 17);
KIV_CHECK_OFFSET(PluginResponseRecord, outputFormat, 18);
KIV_CHECK_OFFSET(PluginResponseRecord, status, 22);
KIV_CHECK_OFFSET(PluginResponseRecord, text, 26);
KIV_CHECK_OFFSET(PluginResponseRecord, headers, 30);
KIV_CHECK_OFFSET(PluginResponseRecord, headerCount, 34);
KIV_CHECK_OFFSET(PluginResponseRecord, streamRead, 38);
KIV_CHECK_OFFSET(PluginResponseRecord, streamRelease, 42);
KIV_CHECK_OFFSET(PluginResponseRecord, streamLength, 46);
KIV_CHECK_OFFSET(PluginResponseRecord, reserved, 50);
KIV_CHECK_OFFSET(PluginResponseRecord, stream, 54);
KIV_CHECK_OFFSET(PluginResponseRecord, free, 58);
KIV_CHECK_LAYOUT(PluginCoreApi, 40);
KIV_CHECK_OFFSET(PluginCoreApi, Reserved5, 20);
KIV_CHECK_OFFSET(PluginCoreApi, WriteLog, 36);
KIV_CHECK_LAYOUT(PluginMemoryStats, 56);
KIV_CHECK_LAYOUT(PluginInitBlock, 8);
KIV_CHECK_LAYOUT(PluginEntryTable, 12);
KIV_CHECK_LAYOUT(PluginLoadBlock, 28);
KIV_CHECK_OFFSET(PluginLoadBlock, entryTable, 12);
KIV_CHECK_OFFSET(PluginLoadBlock, description, 24);
KIV_CHECK_LAYOUT(ApiArgumentRecord, 25);
KIV_CHECK_LAYOUT(ApiFunctionBody, 57);
KIV_CHECK_LAYOUT(ApiFunctionRecord, 61);
KIV_CHECK_OFFSET(ApiFunctionRecord, function.dispatchContext, 8);
KIV_CHECK_OFFSET(ApiFunctionRecord, function.threadSafe, 48);
KIV_CHECK_OFFSET(ApiFunctionRecord, function.asyncResultTypeName, 49);
KIV_CHECK_OFFSET(ApiFunctionRecord, function.tagCount, 57);
KIV_CHECK_LAYOUT(ApiFunctionEntry, 90);
KIV_CHECK_OFFSET(ApiFunctionEntry, dispatch, 61);
KIV_CHECK_OFFSET(ApiFunctionEntry, argumentLocations, 65);
KIV_CHECK_OFFSET(ApiFunctionEntry, path, 69);
KIV_CHECK_OFFSET(ApiFunctionEntry, method, 73);
KIV_CHECK_OFFSET(ApiFunctionEntry, flags, 77);
KIV_CHECK_OFFSET(ApiFunctionEntry, stringLists, 78);
KIV_CHECK_OFFSET(ApiFunctionEntry, stringListCount, 82);
KIV_CHECK_OFFSET(ApiFunctionEntry, methodName, 86);
KIV_CHECK_LAYOUT(ApiArgumentLocationRecord, 8);
KIV_CHECK_LAYOUT(ApiStringListRecord, 12);
KIV_CHECK_LAYOUT(ApiTypeRecord, 40);
KIV_CHECK_OFFSET(ApiTypeRecord, fields, 28);
KIV_CHECK_OFFSET(ApiTypeRecord, count, 36);
KIV_CHECK_LAYOUT(ApiFieldRecord, 29);
KIV_CHECK_OFFSET(ApiFieldRecord, customConverter, 28);
KIV_CHECK_LAYOUT(ApiEnumValueRecord, 16);
KIV_CHECK_LAYOUT(ApiEventRecord, 28);
KIV_CHECK_LAYOUT(PluginApiDescription, 24);
#endif

#ifdef __cplusplus
}
#endif

#endif /* KIV_PLUGIN_ABI_H */
