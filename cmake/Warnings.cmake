# The warnings every target of the project is built with: the window, the
# command line, the tests and the benchmarks as much as the core. A silent
# narrowing or sign change is as real a fault in a test's helper as in the
# reader it checks. Headers of Qt, GoogleTest and the other libraries come in
# as system headers and are not held to these flags.
function(velmorin_warnings target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                             -Wsign-conversion -Wold-style-cast)
    if(VELMORIN_WERROR)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
  endif()
endfunction()
