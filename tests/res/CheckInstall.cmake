# Installs the build into PREFIX and checks what a desktop needs from it.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

foreach(file bin/dorvalune share/applications/dorvalune.desktop
             share/icons/hicolor/16x16/apps/dorvalune.png
             share/icons/hicolor/32x32/apps/dorvalune.png
             share/icons/hicolor/48x48/apps/dorvalune.png)
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()

# The entry starts the installed program by name and shows the installed icon.
file(READ ${PREFIX}/share/applications/dorvalune.desktop entry)
foreach(line "Type=Application" "Name=Dorvalune" "Exec=dorvalune" "Icon=dorvalune")
  string(FIND "${entry}" "\n${line}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the launcher entry lacks ${line}")
  endif()
endforeach()

# Each icon is a PNG of its folder's size.
foreach(size 16 32 48)
  file(READ ${PREFIX}/share/icons/hicolor/${size}x${size}/apps/dorvalune.png header LIMIT 24 HEX)
  string(SUBSTRING "${header}" 0 16 signature)
  string(SUBSTRING "${header}" 32 8 width)
  string(SUBSTRING "${header}" 40 8 height)
  math(EXPR width "0x${width}")
  math(EXPR height "0x${height}")
  if(NOT signature STREQUAL "89504e470d0a1a0a" OR NOT width EQUAL size OR NOT height EQUAL size)
    message(FATAL_ERROR "icon ${size}: not a ${size} x ${size} PNG (${signature}, ${width} x ${height})")
  endif()
endforeach()
message(STATUS "installed: the program, its launcher entry and its icon at 16, 32 and 48 pixels")
