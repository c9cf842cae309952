# Cross toolchain: 32-bit Windows binaries, what ships, run under 32-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KA_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
# The run script names the 32-bit loader it set up (it may live outside /usr/lib/wine).
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
endif()
