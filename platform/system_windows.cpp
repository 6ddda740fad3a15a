// The operating-system services on Windows: kernel services, and event tracing through Advapi32.dll.
#include <windows.h>
#include <evntprov.h>
#include <malloc.h>

#include <atomic>
#include <cstddef>
#include <utility>

#include "platform/system.h"
#include "platform/system_trace.h"

namespace Zarvo::Platform {
namespace {

CRITICAL_SECTION* Native(unsigned char* section) { return reinterpret_cast<CRITICAL_SECTION*>(section); }

template <class Function>
Function Lookup(HMODULE library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

}  // namespace

CriticalSection::CriticalSection() {
    static_assert(sizeof section_ == sizeof(CRITICAL_SECTION) && alignof(CriticalSection) >= alignof(CRITICAL_SECTION));
    InitializeCriticalSection(Native(section_));
}
CriticalSection::~CriticalSection() { DeleteCriticalSection(Native(section_)); }
void CriticalSection::lock() { EnterCriticalSection(Native(section_)); }
void CriticalSection::unlock() { LeaveCriticalSection(Native(section_)); }
bool CriticalSection::try_lock() { return TryEnterCriticalSection(Native(section_)) != 0; }

LocalTime ReadLocalTime() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

uint32_t CurrentThreadId() { return GetCurrentThreadId(); }

// A name longer than the buffer comes back cut and, on older systems, without its NUL: the length says where it
// ends.
std::string ExecutableFilePath() {
    char path[1024];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, length < sizeof path ? length : sizeof path - 1);
}

void DebuggerOutput(const char* text) {
    if (text) OutputDebugStringA(text);
}

int64_t PerformanceCounter() {
    LARGE_INTEGER value;
    QueryPerformanceCounter(&value);
    return value.QuadPart;
}

int64_t PerformanceCounterFrequency() {
    LARGE_INTEGER value;
    QueryPerformanceFrequency(&value);
    return value.QuadPart;
}

size_t HeapBlockSize(void* block) { return _msize(block); }

bool StandardOutputTakesColour() {
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (output == INVALID_HANDLE_VALUE || !GetConsoleMode(output, &mode)) return false;
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) ||
           SetConsoleMode(output, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

namespace {

// The slots' functions, each behind a callback of the system's calling convention.
constexpr size_t ThreadSlotCount = 4;
void (*threadSlotEnds[ThreadSlotCount])(void*);
std::atomic<size_t> threadSlotsMade{0};

template <size_t Place>
void WINAPI EndThreadSlot(void* value) {
    threadSlotEnds[Place](value);
}
constexpr PFLS_CALLBACK_FUNCTION endThreadSlot[ThreadSlotCount] = {&EndThreadSlot<0>, &EndThreadSlot<1>,
                                                                   &EndThreadSlot<2>, &EndThreadSlot<3>};

DWORD AllocateThreadSlot(void (*onThreadEnd)(void*)) {
    const size_t place = threadSlotsMade.fetch_add(1);
    if (place >= ThreadSlotCount) return FLS_OUT_OF_INDEXES;
    threadSlotEnds[place] = onThreadEnd;
    return FlsAlloc(endThreadSlot[place]);
}

}  // namespace

ThreadSlot::ThreadSlot(void (*onThreadEnd)(void*)) noexcept : index_(AllocateThreadSlot(onThreadEnd)) {}

// A thread that ends later, or uses the slot while the library's static objects are destroyed, finds none.
ThreadSlot::~ThreadSlot() {
    if (index_ != FLS_OUT_OF_INDEXES) FlsFree(std::exchange(index_, FLS_OUT_OF_INDEXES));
}

void* ThreadSlot::Get() const noexcept { return index_ != FLS_OUT_OF_INDEXES ? FlsGetValue(index_) : nullptr; }

bool ThreadSlot::Set(void* value) noexcept { return index_ != FLS_OUT_OF_INDEXES && FlsSetValue(index_, value); }

// The portable records must be the system's own, byte for byte: they are handed to Advapi32 as they are.
static_assert(sizeof(TraceGuid) == sizeof(GUID) && offsetof(TraceGuid, data4) == offsetof(GUID, Data4));
static_assert(sizeof(TraceEventDescriptor) == sizeof(EVENT_DESCRIPTOR) &&
              offsetof(TraceEventDescriptor, opcode) == offsetof(EVENT_DESCRIPTOR, Opcode) &&
              offsetof(TraceEventDescriptor, task) == offsetof(EVENT_DESCRIPTOR, Task) &&
              offsetof(TraceEventDescriptor, keyword) == offsetof(EVENT_DESCRIPTOR, Keyword));
static_assert(sizeof(TraceDataItem) == sizeof(EVENT_DATA_DESCRIPTOR) &&
              offsetof(TraceDataItem, size) == offsetof(EVENT_DATA_DESCRIPTOR, Size));
static_assert(sizeof(TraceHandle) == sizeof(REGHANDLE));

// Advapi32.dll is loaded by name, so that the library imports nothing beyond KERNEL32 and the C runtime. It stays
// loaded for the life of the process, as the system library it is: providers are unregistered through it as late
// as the library's own unload.
bool LoadTraceServices(TraceServices& services) {
    services = {};
    HMODULE library = LoadLibraryA("Advapi32.dll");
    if (!library) return false;
    services.registerProvider = Lookup<TraceRegisterFunction>(library, "EventRegister");
    services.write = Lookup<TraceWriteFunction>(library, "EventWrite");
    services.unregisterProvider = Lookup<TraceUnregisterFunction>(library, "EventUnregister");
    return true;
}

}  // namespace Zarvo::Platform
