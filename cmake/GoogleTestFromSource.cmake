# GoogleTest for a cross build: Debian's libgtest-dev ships only Linux
# libraries, but also its sources, which are compiled here with the cross
# compiler. Provides the same GTest::gtest and GTest::gtest_main targets as
# find_package(GTest).
set(VELMORIN_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources to build")
if(NOT EXISTS ${VELMORIN_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in ${VELMORIN_GTEST_SOURCE_DIR} (Debian: libgtest-dev)")
endif()

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# Windows threads, not winpthread: GoogleTest has its own Win32 port.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)

# GoogleTest is not ours to hold to our warning flags.
get_directory_property(velmorin_saved_options COMPILE_OPTIONS)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
add_subdirectory(${VELMORIN_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "${velmorin_saved_options}")

# Recent GoogleTest releases define these names themselves.
if(NOT TARGET GTest::gtest)
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()
