# What both MinGW-w64 toolchain files share; each sets ZINDLE_MINGW_TARGET (the compilers' prefix)
# and CMAKE_SYSTEM_PROCESSOR first. The posix thread model is the one GoogleTest needs; programs
# run under Wine through cmake/wine-exec, in the prefix of their architecture.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${ZINDLE_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZINDLE_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER  ${ZINDLE_MINGW_TARGET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZINDLE_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-exec)
