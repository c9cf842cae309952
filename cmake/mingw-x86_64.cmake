# Cross toolchain: the same sources for 64-bit Windows, run under 64-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KA_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
