# Where the systems differ, a concept has a POSIX half <Concept>Posix.cpp and
# a Windows half <Concept>Win.cpp beside its one OS-free header; the build
# compiles the half of the system it is for.
#
# velmorin_system_halves(target concept...): adds each concept's half, named
# from the calling folder ("files/AtomicFileWriter", "TempDir").
function(velmorin_system_halves target)
  if(WIN32)
    set(half Win)
  else()
    set(half Posix)
  endif()
  foreach(concept ${ARGN})
    target_sources(${target} PRIVATE ${concept}${half}.cpp)
  endforeach()
endfunction()
