# The shipping target: 32-bit Windows, cross-built with mingw-w64. Its programs cannot run on this host.
set(KIV_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
