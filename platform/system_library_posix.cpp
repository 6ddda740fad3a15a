// Dynamic libraries on POSIX systems, through dlopen.
#include <dlfcn.h>

#include "platform/system_library.h"

namespace Zarvo::Platform {

void* OpenLibrary(const std::string& path, std::string& error) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!library) {
        const char* reason = dlerror();
        error = reason ? reason : path + ": cannot be opened";
    }
    return library;
}

void* LibrarySymbol(void* library, const char* name) { return dlsym(library, name); }

void CloseLibrary(void* library) { dlclose(library); }

}  // namespace Zarvo::Platform
