# Cross build for Windows with mingw-w64, shared by the i686 and x86_64 toolchain files (they set KIV_MINGW_TRIPLE).
# The posix thread model gives std::mutex and std::thread; everything links statically, so that the plugin library
# and the programs need only the system's own DLLs. Third-party libraries built for the target (libyaml, GoogleTest)
# and, for each header-only library, a folder holding only a link to its headers live under build/cross/<triple>,
# made by scripts/setup-cross; the host's own headers and libraries are never searched.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${KIV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KIV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KIV_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${KIV_MINGW_TRIPLE}-objdump)

get_filename_component(KIV_CROSS_PREFIX ${CMAKE_CURRENT_LIST_DIR}/../build/cross/${KIV_MINGW_TRIPLE} ABSOLUTE)
set(CMAKE_FIND_ROOT_PATH /usr/${KIV_MINGW_TRIPLE} ${KIV_CROSS_PREFIX} ${KIV_CROSS_PREFIX}/rapidjson ${KIV_CROSS_PREFIX}/boost)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(kiv_static_runtime "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT ${kiv_static_runtime})
set(CMAKE_SHARED_LINKER_FLAGS_INIT ${kiv_static_runtime})
set(CMAKE_MODULE_LINKER_FLAGS_INIT ${kiv_static_runtime})
