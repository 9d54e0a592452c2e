# Cross-build for 32-bit Windows: the DLL a 32-bit browser process loads, its
# stand-in browser and the band's tests.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KG_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
