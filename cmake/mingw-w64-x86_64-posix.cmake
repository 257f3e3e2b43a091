# Cross toolchain for the Windows tests on a host that cannot execute 32-bit
# code (scripts/wine-host): 64-bit MinGW-w64 with POSIX threads. The program
# shipped is always the 32-bit build (mingw-w64-posix.cmake); this one exists
# so that the same tests run for real under 64-bit Wine where 32-bit Wine
# cannot start. Tests about 32-bit behaviour skip themselves in it.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(REMDO_MINGW_TRIPLE x86_64-w64-mingw32)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake")
