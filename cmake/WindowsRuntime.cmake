# What a Qt program built with MinGW-w64 needs beside its .exe to start on
# Windows: Qt's DLLs, a platform plugin, the style, and the MinGW run-time
# DLLs that Qt's own DLLs load. Used to lay out the build folders (so that the
# window and its tests run in place, under Wine too) and the portable zip.

# The MinGW run-time DLLs, found where the compiler keeps them.
function(velmorin_mingw_runtime_dlls out)
  set(dlls "")
  foreach(name libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
      message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${name} is")
    endif()
    get_filename_component(path "${path}" REALPATH)
    list(APPEND dlls "${path}")
  endforeach()
  set(${out} ${dlls} PARENT_SCOPE)
endfunction()

# velmorin_windows_runtime(NAME DESTINATION dir QT module... PLATFORMS plugin...
#                          [FONTS])
# A target NAME that copies Qt's DLLs of the given modules (Core, Gui, ...),
# the given platform plugins (Qt6::QWindowsIntegrationPlugin, ...) into
# platforms/, the windowsvista style into styles/ and the MinGW run-time DLLs
# into `dir`. FONTS also copies Debian's DejaVu fonts into lib/fonts, where
# Qt's offscreen platform looks for fonts beside a program without a qt.conf.
function(velmorin_windows_runtime name)
  cmake_parse_arguments(ARG "FONTS" "DESTINATION" "QT;PLATFORMS" ${ARGN})
  set(dir ${ARG_DESTINATION})
  set(commands COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}/platforms ${dir}/styles)
  foreach(module ${ARG_QT})
    list(APPEND commands
         COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:Qt6::${module}> ${dir})
  endforeach()
  foreach(plugin ${ARG_PLATFORMS})
    list(APPEND commands
         COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${plugin}> ${dir}/platforms)
  endforeach()
  list(APPEND commands COMMAND ${CMAKE_COMMAND} -E copy_if_different
       $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> ${dir}/styles)
  velmorin_mingw_runtime_dlls(runtime)
  list(APPEND commands COMMAND ${CMAKE_COMMAND} -E copy_if_different ${runtime} ${dir})
  if(ARG_FONTS)
    file(GLOB fonts /usr/share/fonts/truetype/dejavu/DejaVuSans*.ttf)
    if(NOT fonts)
      message(FATAL_ERROR "No DejaVu fonts in /usr/share/fonts/truetype/dejavu (Debian: fonts-dejavu-core)")
    endif()
    list(APPEND commands COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}/lib/fonts
         COMMAND ${CMAKE_COMMAND} -E copy_if_different ${fonts} ${dir}/lib/fonts)
  endif()
  add_custom_target(${name} ${commands} VERBATIM)
endfunction()

# The DLLs a program linked with libpq needs beside it on Windows: libpq.dll
# and, for TLS, OpenSSL's libssl and libcrypto. They lie in the bin/ folder
# beside the lib/ folder of the import library that find_package(PostgreSQL)
# found, as in the shared MinGW build of libpq and in PostgreSQL's installers.
function(velmorin_libpq_dlls out)
  get_filename_component(prefix "${PostgreSQL_LIBRARY}" DIRECTORY)
  get_filename_component(bin "${prefix}/../bin" ABSOLUTE)
  file(GLOB dlls "${bin}/libpq.dll" "${bin}/libssl-*.dll" "${bin}/libcrypto-*.dll")
  if(NOT "${bin}/libpq.dll" IN_LIST dlls)
    message(FATAL_ERROR "No libpq.dll in ${bin}, beside the import library ${PostgreSQL_LIBRARY}")
  endif()
  set(${out} ${dlls} PARENT_SCOPE)
endfunction()
