# What both cross toolchains share: Windows binaries built with MinGW-w64 (posix threads) for
# KA_MINGW_TRIPLET, which the toolchain file that includes this one sets.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${KA_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KA_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KA_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KA_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
