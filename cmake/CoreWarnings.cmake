# The stricter warning set the Qt-free core is held to, on top of the
# project-wide -Wall -Wextra. The core parses untrusted files and computes
# addresses and lengths, where a silent narrowing or sign change is a real
# fault; the window and the tests keep the looser set, since Qt's and
# GoogleTest's headers are not written for these flags. The flags are private
# to each core target, so a program that includes a core header is not held
# to them.
function(velmorin_core_warnings target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE
      -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wold-style-cast)
  endif()
endfunction()
