# Cross toolchain for the Windows target: 32-bit MinGW-w64 with POSIX threads
# (the win32-thread variant lacks std::mutex). The program is 32-bit like the
# catalogue and its engine: it sees the files and the registry view they see,
# runs on 32-bit Windows and can load the engine's 32-bit library. Tests run
# under Wine (a 64-bit prefix runs 32-bit programs through WoW64).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(REMDO_MINGW_TRIPLE i686-w64-mingw32)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake")
