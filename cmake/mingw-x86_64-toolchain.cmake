# 64-bit Windows, cross-built with mingw-w64; its programs run under wine64 where it is installed.
set(KIV_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
