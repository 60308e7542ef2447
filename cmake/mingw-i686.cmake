# Cross toolchain: 32-bit Windows via mingw-w64 (posix thread model); the shipped build.
set(TQ_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
