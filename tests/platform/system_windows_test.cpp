// The Windows side of the operating-system layer, against the system's own services.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "platform/event_tracing.h"
#include "platform/system.h"
#include "platform/system_trace.h"

namespace Zarvo::Platform {
namespace {

// Without a debugger, the debug output reaches the process as a first-chance exception carrying the text.
std::string debuggerText;

LONG CALLBACK RecordDebuggerOutput(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    if (record.ExceptionCode == DBG_PRINTEXCEPTION_C && record.NumberParameters >= 2)
        debuggerText.append(reinterpret_cast<const char*>(record.ExceptionInformation[1]));
    return EXCEPTION_CONTINUE_SEARCH;
}

TEST(WindowsSystem, DebuggerOutputHandsTheTextToTheDebugger) {
    void* handler = AddVectoredExceptionHandler(1, RecordDebuggerOutput);
    ASSERT_NE(handler, nullptr);
    debuggerText.clear();
    DebuggerOutput("host.exe(00001A2C):  ERROR| text\n");
    DebuggerOutput(nullptr);
    RemoveVectoredExceptionHandler(handler);
    EXPECT_EQ(debuggerText, "host.exe(00001A2C):  ERROR| text\n");
}

TEST(WindowsSystem, HeapBlockSizeIsTheCRuntimes) {
    void* block = std::malloc(100);
    ASSERT_NE(block, nullptr);
    EXPECT_GE(HeapBlockSize(block), 100u);
    EXPECT_EQ(HeapBlockSize(block), _msize(block));
    std::free(block);
}

TEST(WindowsTracing, ServicesAreAdvapi32sEventFunctions) {
    TraceServices services;
    ASSERT_TRUE(LoadTraceServices(services));
    HMODULE advapi32 = GetModuleHandleA("advapi32.dll");
    ASSERT_NE(advapi32, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(services.registerProvider),
              reinterpret_cast<void*>(GetProcAddress(advapi32, "EventRegister")));
    EXPECT_EQ(reinterpret_cast<void*>(services.write), reinterpret_cast<void*>(GetProcAddress(advapi32, "EventWrite")));
    EXPECT_EQ(reinterpret_cast<void*>(services.unregisterProvider),
              reinterpret_cast<void*>(GetProcAddress(advapi32, "EventUnregister")));
    ASSERT_NE(services.registerProvider, nullptr);
    ASSERT_NE(services.write, nullptr);
    ASSERT_NE(services.unregisterProvider, nullptr);
}

TEST(WindowsTracing, ProvidersAreRegisteredWithTheSystemAndUnregistered) {
    StartEventTracing();
    for (const TraceProvider& provider : TraceProviders()) EXPECT_NE(provider.handle, 0u);
    // Nothing enabled the thread-name event; writing it stays a no-op, even through the real services.
    WriteThreadNameEvent(CurrentThreadId(), "Main thread");
    StopEventTracing();
    for (const TraceProvider& provider : TraceProviders()) EXPECT_EQ(provider.handle, 0u);
}

}  // namespace
}  // namespace Zarvo::Platform
