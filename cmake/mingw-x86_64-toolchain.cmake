# 64-bit Windows, cross-built with mingw-w64. Its programs run under wine64 where it is installed, in a wine prefix
# of the build folder's own, with wine's diagnostics silenced.
set(KIV_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)

find_program(KIV_WINE64 wine64 PATHS /usr/lib/wine)
find_program(KIV_WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine)
if(KIV_WINE64 AND KIV_WINESERVER)
  set(KIV_WINE_ENVIRONMENT WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix WINEDEBUG=-all)
  set(CMAKE_CROSSCOMPILING_EMULATOR env ${KIV_WINE_ENVIRONMENT} ${KIV_WINE64})
endif()
