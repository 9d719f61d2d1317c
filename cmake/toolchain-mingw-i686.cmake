# Cross-compiles for 32-bit Windows with MinGW-w64: the shipped program and its tests.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZINDLE_MINGW_TARGET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
