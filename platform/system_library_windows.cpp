// Dynamic libraries on Windows, through LoadLibrary.
#include <windows.h>

#include "platform/system_library.h"

namespace Zarvo::Platform {
namespace {

// "<path>: <the system's message> (error <code>)", the message without its line break.
std::string Reason(const std::string& path, DWORD code) {
    char text[512] = "";
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                  sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == ' ')) --length;
    std::string reason = path + ": ";
    reason += length > 0 ? std::string(text, length) : std::string("cannot be opened");
    return reason + " (error " + std::to_string(code) + ")";
}

}  // namespace

void* OpenLibrary(const std::string& path, std::string& error) {
    // No dialog box for a library that is missing or damaged: the caller says why.
    DWORD errorMode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &errorMode);
    HMODULE library = LoadLibraryA(path.c_str());
    const DWORD code = GetLastError();
    SetThreadErrorMode(errorMode, nullptr);
    if (!library) {
        error = Reason(path, code);
        return nullptr;
    }
    // Pinned: FreeLibrary leaves it mapped, as the declaration promises.
    HMODULE pinned = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCSTR>(library), &pinned);
    return library;
}

void* LibrarySymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

}  // namespace Zarvo::Platform
