# Installs the build into PREFIX and checks what a desktop needs from it: the
# program, a launcher entry that starts it by name with the installed icon,
# and that icon as a PNG of each folder's size.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0 OR NOT EXISTS ${PREFIX}/bin/dorvalune)
  message(FATAL_ERROR "cmake --install failed (${result}) or installed no program")
endif()
file(READ ${PREFIX}/share/applications/dorvalune.desktop entry)
foreach(line "Type=Application" "Name=Dorvalune" "Exec=dorvalune" "Icon=dorvalune")
  string(FIND "${entry}" "\n${line}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the launcher entry lacks ${line}")
  endif()
endforeach()
foreach(size 16 32 48)
  file(READ ${PREFIX}/share/icons/hicolor/${size}x${size}/apps/dorvalune.png header LIMIT 24 HEX)
  math(EXPR hex "${size}" OUTPUT_FORMAT HEXADECIMAL)  # 0x10, 0x20, 0x30
  string(REPLACE "0x" "000000" hex "${hex}")
  if(NOT header MATCHES "^89504e470d0a1a0a.*${hex}${hex}$")
    message(FATAL_ERROR "icon ${size}: not a ${size} x ${size} PNG (${header})")
  endif()
endforeach()
