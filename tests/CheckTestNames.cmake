# Fails when a test name in a build tree would not stay the same from build to
# build, or is too long to type after `ctest -R`. A printed test parameter is the
# usual cause: GoogleTest prints a struct without PrintTo as its raw bytes, and
# those hold addresses.
#
#   cmake -DBUILD_DIR=build [-DCTEST=ctest] -P tests/CheckTestNames.cmake
if(NOT BUILD_DIR)
  message(FATAL_ERROR "give the build tree to check: -DBUILD_DIR=<folder>")
endif()
if(NOT CTEST)
  set(CTEST ctest)
endif()
set(longest_allowed 120)

execute_process(COMMAND ${CTEST} --test-dir ${BUILD_DIR} -N
                OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "ctest -N on ${BUILD_DIR} failed (${result}): ${errors}")
endif()

# Semicolons would split the listing into wrong pieces; no good name has one.
string(REPLACE ";" "<semicolon>" listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")
set(count 0)
set(longest 0)
set(bad "")
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^ *Test +#[0-9]+: (.*)$")
    continue()
  endif()
  set(name "${CMAKE_MATCH_1}")
  math(EXPR count "${count} + 1")
  string(LENGTH "${name}" length)
  if(length GREATER longest)
    set(longest ${length})
  endif()
  if(length GREATER longest_allowed)
    string(APPEND bad "\n  longer than ${longest_allowed} characters (${length}): ${name}")
  elseif(name MATCHES "-byte object|GetParam|TypeParam")
    string(APPEND bad "\n  holds a printed parameter: ${name}")
  elseif(NOT name MATCHES "^[A-Za-z0-9_./-]+$")
    string(APPEND bad "\n  holds more than letters, digits and _ . / -: ${name}")
  endif()
endforeach()

if(count EQUAL 0)
  message(FATAL_ERROR "no tests listed in ${BUILD_DIR}")
endif()
if(bad)
  message(FATAL_ERROR "test names that change between builds or are hard to use:${bad}\n"
                      "Give the parameterized suite a name generator (and its parameter a PrintTo).")
endif()
message(STATUS "${count} test names, the longest ${longest} characters")
