# What both MinGW-w64 toolchains share, for the target named by
# REMDO_MINGW_TRIPLE (i686-w64-mingw32 or x86_64-w64-mingw32): the POSIX
# thread variant (the win32-thread one lacks std::mutex), the target's own
# libraries and headers, and Wine as the emulator that runs the tests.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${REMDO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${REMDO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${REMDO_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${REMDO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run")
