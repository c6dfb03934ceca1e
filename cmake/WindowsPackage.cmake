# dist/dorvalune-windows-x64.zip (`make windows`): the programs that this
# build makes, stripped, with a short README.txt and the licences of the
# runtime that is linked into them.
set(zip_programs dorvalune-shrink)
set(DORVALUNE_ZIP_PROGRAMS "dorvalune-shrink.exe FILE...   the command line: shrinks each FILE and reports\n                               what it did; --help lists the options.\n")
# The window, where this build has it.
if(TARGET dorvalune_ui)
  list(PREPEND zip_programs dorvalune)
  string(PREPEND DORVALUNE_ZIP_PROGRAMS
         "dorvalune.exe                  the window: add files with \"^ .bmp\", OK shrinks them.\n")
endif()
configure_file(${CMAKE_SOURCE_DIR}/cmake/windows/README.txt.in ${CMAKE_BINARY_DIR}/zip-files/README.txt
               @ONLY NEWLINE_STYLE CRLF)

# The licences of what the static link puts into the programs, as Debian's
# cross toolchain ships them.
set(licence_text "The Windows programs of Dorvalune link these libraries in statically:\r\n\r\n")
foreach(package gcc-mingw-w64-x86-64-posix-runtime mingw-w64-x86-64-dev)
  set(copyright /usr/share/doc/${package}/copyright)
  if(EXISTS ${copyright})
    file(READ ${copyright} text)
    string(APPEND licence_text "==== ${package} ====\r\n\r\n${text}\r\n")
  endif()
endforeach()
file(WRITE ${CMAKE_BINARY_DIR}/zip-files/LICENSE.txt "${licence_text}")

set(stage ${CMAKE_BINARY_DIR}/zip/dorvalune-windows-x64)
set(zip ${CMAKE_SOURCE_DIR}/dist/dorvalune-windows-x64.zip)
set(copy_programs)
foreach(program ${zip_programs})
  list(APPEND copy_programs COMMAND ${CMAKE_STRIP} -o ${stage}/${program}.exe $<TARGET_FILE:${program}>)
endforeach()
add_custom_target(windows_zip
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_BINARY_DIR}/zip ${zip}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${stage} ${CMAKE_SOURCE_DIR}/dist
  ${copy_programs}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/zip-files/README.txt
          ${CMAKE_BINARY_DIR}/zip-files/LICENSE.txt ${stage}
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/zip
          ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip dorvalune-windows-x64
  COMMENT "Packing dist/dorvalune-windows-x64.zip"
  VERBATIM)
add_dependencies(windows_zip ${zip_programs})
