# Installs a build into a scratch prefix and checks that it lands like a desktop program.
#   cmake -DBUILD_DIR=... -DPREFIX=... [-DDESKTOP_VALIDATE=...] -P install_check.cmake
cmake_minimum_required(VERSION 3.25)

foreach(var BUILD_DIR PREFIX)
  if(NOT ${var})
    message(FATAL_ERROR "install_check: ${var} not given")
  endif()
endforeach()

file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "install_check: cmake --install failed (${status})")
endif()

set(missing "")
foreach(path bin/kavarin share/applications/kavarin.desktop share/kavarin/sounds/hassha.wav
             share/kavarin/sounds/shuku.wav share/kavarin/sounds/chou.wav
             share/kavarin/sounds/hakai.wav)
  if(NOT EXISTS ${PREFIX}/${path})
    list(APPEND missing ${path})
  endif()
endforeach()
file(GLOB icons ${PREFIX}/share/icons/hicolor/32x32/apps/kavarin.*)
if(NOT icons)
  list(APPEND missing share/icons/hicolor/32x32/apps/kavarin.png)
endif()
if(missing)
  message(FATAL_ERROR "install_check: not installed: ${missing}")
endif()

# The menu entry names the game, the program it starts and the icon it shows.
file(STRINGS ${PREFIX}/share/applications/kavarin.desktop entry)
foreach(line "Name=Kavarin" "Exec=kavarin" "Icon=kavarin" "Categories=Game;ArcadeGame;"
             "Type=Application")
  if(NOT line IN_LIST entry)
    message(FATAL_ERROR "install_check: kavarin.desktop lacks the line ${line}")
  endif()
endforeach()

if(DESKTOP_VALIDATE)
  execute_process(COMMAND ${DESKTOP_VALIDATE} ${PREFIX}/share/applications/kavarin.desktop
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0 OR out)
    message(FATAL_ERROR "install_check: desktop-file-validate: ${out}")
  endif()
else()
  message(STATUS "desktop-file-validate not found; the entry's syntax was not checked")
endif()
message(STATUS "install_check: ${PREFIX} holds the game, its sounds, menu entry and icon")
