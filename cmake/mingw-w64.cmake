# Cross-compiling for 64-bit Windows with Debian's MinGW-w64, posix thread model (the win32
# model of GCC 12 has no std::thread or std::mutex). Programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZAN_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZAN_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZAN_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${ZAN_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZAN_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Only system DLLs at run time: the C++ runtime and winpthreads are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
# The cross-built libraries and widl's imports of scripts/windeps (its printed prefix); the
# project checks that it is given, scripts/windeps uses this file without it.
if(ZAN_WINDEPS)
  list(APPEND CMAKE_FIND_ROOT_PATH ${ZAN_WINDEPS})
endif()
