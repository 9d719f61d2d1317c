# Cross-compiles for 64-bit Windows with MinGW-w64: the same sources as the 32-bit tree, whose
# programs run under 64-bit Wine on machines whose kernel runs no 32-bit programs.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZINDLE_MINGW_TARGET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
