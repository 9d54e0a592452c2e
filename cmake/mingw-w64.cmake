# Shared by the two toolchain files: cross-build for Windows with the
# posix-thread mingw-w64 compilers of KG_MINGW_TRIPLE (the win32 thread model
# lacks std::mutex, which GoogleTest needs); tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${KG_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KG_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KG_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KG_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Both bitnesses run in the 64-bit build's prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
