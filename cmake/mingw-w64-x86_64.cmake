# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (posix threads
# variant, package g++-mingw-w64-x86-64-posix):
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# The run-time libraries are linked statically, so the programs start under
# Wine or on a bare Windows machine without any MinGW DLL beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELMORIN_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELMORIN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELMORIN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VELMORIN_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELMORIN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread inside every executable.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Lets ctest (and gtest_discover_tests) run the test programs on this machine.
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(VELMORIN_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
  if(VELMORIN_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VELMORIN_WINE})
  endif()
endif()
