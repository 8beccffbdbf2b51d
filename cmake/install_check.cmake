# Installs a build into a scratch prefix and checks that it lands like a desktop program.
#   cmake -DBUILD_DIR=... -DPREFIX=... -DGAME_DIR=games -DICON_SIZES="16;32;..."
#         [-DREPLAY_RECORD=match.txt] [-DDESKTOP_VALIDATE=...] [-DAPPSTREAMCLI=...]
#         -P install_check.cmake
# REPLAY_RECORD is a match record with the state line it ends in beside it (match.state): the
# installed kavarin-replay must replay it to that line.
cmake_minimum_required(VERSION 3.25)

foreach(var BUILD_DIR PREFIX GAME_DIR ICON_SIZES)
  if(NOT ${var})
    message(FATAL_ERROR "install_check: ${var} not given")
  endif()
endforeach()

file(REMOVE_RECURSE ${PREFIX})
# What `cmake --install` gives, then the Debian package's own documents beside it.
foreach(component "" debian)
  set(args --install ${BUILD_DIR} --prefix ${PREFIX})
  if(component)
    list(APPEND args --component ${component})
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} ${args} RESULT_VARIABLE status OUTPUT_QUIET)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "install_check: cmake ${args} failed (${status})")
  endif()
endforeach()

set(metainfo share/metainfo/io.github.kavarin.kavarin.metainfo.xml)
set(missing "")
foreach(path ${GAME_DIR}/kavarin share/applications/kavarin.desktop ${metainfo}
             share/man/man6/kavarin.6.gz ${GAME_DIR}/kavarin-replay
             share/man/man6/kavarin-replay.6.gz ${GAME_DIR}/kavarin-lobby share/man/man8/kavarin-lobby.8.gz
             share/kavarin/sounds/hassha.wav
             share/kavarin/sounds/shuku.wav share/kavarin/sounds/chou.wav
             share/kavarin/sounds/hakai.wav share/doc/kavarin/copyright
             share/doc/kavarin/changelog.Debian.gz)
  if(NOT EXISTS ${PREFIX}/${path})
    list(APPEND missing ${path})
  endif()
endforeach()
foreach(size IN LISTS ICON_SIZES)
  if(NOT EXISTS ${PREFIX}/share/icons/hicolor/${size}x${size}/apps/kavarin.png)
    list(APPEND missing share/icons/hicolor/${size}x${size}/apps/kavarin.png)
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "install_check: not installed: ${missing}")
endif()

# The game finds its sounds from the folder it is installed in.
if(NOT IS_DIRECTORY ${PREFIX}/${GAME_DIR}/../share/kavarin/sounds)
  message(FATAL_ERROR "install_check: ${GAME_DIR}/../share/kavarin/sounds is not the sounds")
endif()

# The installed replayer replays a record to the state its match ended in.
if(REPLAY_RECORD)
  cmake_path(REPLACE_EXTENSION REPLAY_RECORD LAST_ONLY .state OUTPUT_VARIABLE expected_state)
  file(READ ${expected_state} expected)
  execute_process(COMMAND ${PREFIX}/${GAME_DIR}/kavarin-replay ${REPLAY_RECORD}
                  RESULT_VARIABLE status OUTPUT_VARIABLE replayed ERROR_VARIABLE replay_error)
  if(NOT status EQUAL 0 OR NOT replayed STREQUAL expected)
    message(FATAL_ERROR "install_check: the installed kavarin-replay replayed ${REPLAY_RECORD} "
                        "with status ${status} to\n${replayed}${replay_error}\nnot\n${expected}")
  endif()
endif()

# The menu entry names the game, the program it starts and the icon it shows.
file(STRINGS ${PREFIX}/share/applications/kavarin.desktop entry)
foreach(line "Name=Kavarin" "Exec=kavarin" "Icon=kavarin" "Categories=Game;ArcadeGame;"
             "Type=Application")
  if(NOT line IN_LIST entry)
    message(FATAL_ERROR "install_check: kavarin.desktop lacks the line ${line}")
  endif()
endforeach()

# The copyright file carries the licence of LICENSE word for word.
file(READ ${PREFIX}/share/doc/kavarin/copyright copyright)
foreach(phrase "License: Expat\n Permission is hereby granted"
               "\n .\n THE SOFTWARE IS PROVIDED \"AS IS\"")
  string(FIND "${copyright}" "${phrase}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "install_check: the copyright file lacks '${phrase}'")
  endif()
endforeach()

function(validate what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "install_check: ${what}: ${out}")
  endif()
  set(validate_out "${out}" PARENT_SCOPE)
endfunction()

if(DESKTOP_VALIDATE)
  validate(desktop-file-validate ${DESKTOP_VALIDATE} ${PREFIX}/share/applications/kavarin.desktop)
  if(validate_out)
    message(FATAL_ERROR "install_check: desktop-file-validate: ${validate_out}")
  endif()
else()
  message(STATUS "desktop-file-validate not found; the entry's syntax was not checked")
endif()
if(APPSTREAMCLI)
  # The whole tree: the description, and the menu entry and icons it points at.
  validate("appstreamcli validate-tree" ${APPSTREAMCLI} validate-tree --no-net ${PREFIX})
else()
  message(STATUS "appstreamcli not found; the AppStream description was not checked")
endif()
message(STATUS "install_check: ${PREFIX} holds the game, its sounds, menu entry, metadata, "
               "icons, manual pages, kavarin-replay and package documents")
