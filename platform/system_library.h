// The portable face of dynamic libraries: opened by path, their symbols found by name. Only the
// platform/system_library_* files know the platform.
#pragma once

#include <string>

namespace Zarvo::Platform {

// Opens the library at `path` with all its symbols bound at once; null with the system's reason in `error` when it
// cannot. The library stays mapped for the life of the process, also after CloseLibrary: a plugin's process-wide
// state outlives its instances, and a later open of the same library finds it again.
void* OpenLibrary(const std::string& path, std::string& error);
// The address of the exported symbol, or null.
void* LibrarySymbol(void* library, const char* name);
// Gives back what OpenLibrary took.
void CloseLibrary(void* library);

}  // namespace Zarvo::Platform
