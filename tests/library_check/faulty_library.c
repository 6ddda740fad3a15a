/* A plugin library with one fault in its export or import tables, chosen when it is built; the library check
 * must refuse each of them. */
#if defined(ADVAPI32_IMPORT)
#include <windows.h>
#include <evntprov.h>
#endif

#if defined(STDCALL_ENTRY)
/* stdcall decorates the exported name: load_kiv_player_level_up@4. */
__declspec(dllexport) void __stdcall load_kiv_player_level_up(void* block) { (void)block; }
#else
__declspec(dllexport) void __cdecl load_kiv_player_level_up(void* block) {
    (void)block;
#if defined(ADVAPI32_IMPORT)
    /* Calling the tracing functions directly, instead of loading Advapi32.dll by name, imports that DLL. */
    EventUnregister(0);
#endif
}
#endif

#if defined(SECOND_EXPORT)
__declspec(dllexport) int __cdecl kiv_second_export(void) { return 1; }
#endif
