# Installs the game like a desktop program and packs it as a .deb:
#   games/kavarin                                 the game (KAVARIN_GAME_DIR)
#   share/kavarin/sounds/*.wav                    its cue sounds (installed by tools/soundgen)
#   share/applications/kavarin.desktop            the menu entry
#   share/metainfo/io.github.kavarin.kavarin.metainfo.xml   its AppStream description
#   share/icons/hicolor/NxN/apps/kavarin.png      the icon, 16 to 256 pixels
#   share/man/man6/kavarin.6.gz                   the manual page
#   games/kavarin-replay                          the headless replayer (KAVARIN_GAME_DIR)
#   share/man/man6/kavarin-replay.6.gz            its manual page
#   games/kavarin-lobby                           the server that pairs players by a room code
#   share/man/man8/kavarin-lobby.8.gz             its manual page
#   lib/systemd/system/kavarin-lobby.service      its systemd unit (in the Debian package only)
# and, in the Debian package only (the component "debian"):
#   share/doc/kavarin/copyright                   DEP-5, with the text of LICENSE
#   share/doc/kavarin/changelog.Debian.gz
#   share/lintian/overrides/kavarin               what lintian need not say of a package
#                                                 that is not uploaded to Debian
include(GNUInstallDirs)

# Debian keeps games apart from other programs; the game finds its sounds from either.
set(KAVARIN_GAME_DIR games CACHE STRING "Folder under the prefix for the game's executable")
set(KAVARIN_PACKAGE_MAINTAINER "The Kavarin developers <kavarin@example.org>" CACHE STRING
    "Maintainer of the Debian package, as \"Name <address>\"")
set(KAVARIN_DEBIAN_VERSION ${PROJECT_VERSION}-1)
set(kavarin_data ${PROJECT_SOURCE_DIR}/app/data)

# gzip -n leaves out the name and time, so the same sources give the same bytes.
find_program(KAVARIN_GZIP gzip)
function(kavarin_gzipped source output)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${KAVARIN_GZIP} -9 -n -c ${source} > ${output}
    DEPENDS ${source}
    COMMENT "Compressing ${output}")
endfunction()

if(TARGET kavarin)
  install(TARGETS kavarin RUNTIME DESTINATION ${KAVARIN_GAME_DIR})
  install(FILES ${kavarin_data}/kavarin.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${kavarin_data}/io.github.kavarin.kavarin.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  foreach(size IN LISTS KAVARIN_ICON_SIZES)
    install(FILES ${KAVARIN_ICON_DIR}/${size}x${size}/kavarin.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()

  if(KAVARIN_GZIP)
    set(man_page ${PROJECT_BINARY_DIR}/kavarin.6.gz)
    kavarin_gzipped(${kavarin_data}/kavarin.6 ${man_page})
  else()
    set(man_page ${kavarin_data}/kavarin.6)
  endif()
  install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)

  # The package's copyright file carries the licence text of LICENSE, lines indented and
  # blank lines as ".", as DEP-5 wants it.
  file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE kavarin_copyright REGEX "^Copyright \\(c\\) ")
  string(REGEX REPLACE "^Copyright \\(c\\) " "" KAVARIN_COPYRIGHT "${kavarin_copyright}")
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
  string(REGEX REPLACE "^.*Copyright \\(c\\) [^\n]*\n+" "" license "${license}")
  string(STRIP "${license}" license)
  string(REPLACE "\n\n" "\n.\n" license "${license}")
  string(REPLACE "\n" "\n " license "${license}")
  set(KAVARIN_LICENSE_BODY " ${license}")
  set(debian_dir ${PROJECT_BINARY_DIR}/debian)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/copyright.in ${debian_dir}/copyright @ONLY)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${debian_dir}/changelog @ONLY)
  set(debian_docs ${debian_dir}/copyright)
  if(KAVARIN_GZIP)
    kavarin_gzipped(${debian_dir}/changelog ${debian_dir}/changelog.Debian.gz)
    list(APPEND debian_docs ${debian_dir}/changelog.Debian.gz)
  endif()
  install(FILES ${debian_docs} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kavarin
          COMPONENT debian EXCLUDE_FROM_ALL)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/lintian-overrides
          DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME kavarin
          COMPONENT debian EXCLUDE_FROM_ALL)
  add_custom_target(kavarin_install_docs ALL DEPENDS ${man_page} ${debian_docs})
endif()

# A tool in tools/FOLDER that goes beside the game (a games package has nothing in bin/), with
# its manual page in SECTION.
function(kavarin_install_tool target section folder)
  install(TARGETS ${target} RUNTIME DESTINATION ${KAVARIN_GAME_DIR})
  set(man ${PROJECT_SOURCE_DIR}/tools/${folder}/${target}.${section})
  if(KAVARIN_GZIP)
    kavarin_gzipped(${man} ${PROJECT_BINARY_DIR}/${target}.${section}.gz)
    set(man ${PROJECT_BINARY_DIR}/${target}.${section}.gz)
  endif()
  install(FILES ${man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
  add_custom_target(${target}_install_docs ALL DEPENDS ${man})
endfunction()

# kavarin-replay: the manual page and the README send players to it to replay match records.
if(TARGET kavarin-replay)
  kavarin_install_tool(kavarin-replay 6 replay)
endif()

# kavarin-lobby, its unit where Debian 12 keeps units.
if(TARGET kavarin-lobby)
  kavarin_install_tool(kavarin-lobby 8 lobby)
  install(FILES ${PROJECT_SOURCE_DIR}/tools/lobby/kavarin-lobby.service
          DESTINATION lib/systemd/system COMPONENT debian EXCLUDE_FROM_ALL)
endif()

# The test run installs into a scratch prefix and checks what lands there.
if(TARGET kavarin AND KAVARIN_BUILD_TESTS)
  find_program(KAVARIN_DESKTOP_VALIDATE desktop-file-validate)
  find_program(KAVARIN_APPSTREAMCLI appstreamcli)
  add_test(NAME install.layout
           COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${PROJECT_BINARY_DIR}
                   -DPREFIX=${PROJECT_BINARY_DIR}/install-check
                   -DGAME_DIR=${KAVARIN_GAME_DIR}
                   -DREPLAY_RECORD=${PROJECT_SOURCE_DIR}/tests/install/online_record.txt
                   "-DICON_SIZES=${KAVARIN_ICON_SIZES}"
                   -DDESKTOP_VALIDATE=${KAVARIN_DESKTOP_VALIDATE}
                   -DAPPSTREAMCLI=${KAVARIN_APPSTREAMCLI}
                   -P ${CMAKE_CURRENT_LIST_DIR}/install_check.cmake)
endif()

set(CPACK_PACKAGE_NAME kavarin)
set(CPACK_PACKAGE_VENDOR "The Kavarin developers")
set(CPACK_PACKAGE_CONTACT ${KAVARIN_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KAVARIN_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "two-player duel of line-drawn ships on one keyboard")
set(CPACK_PACKAGE_DESCRIPTION
    "Two ships at the edges of a black field fire beams across a rotating star\nthat bends them; the charged star can be set off as a supernova that\ndestroys every ship away from the top and bottom edges. First to 3 points\nwins. Both players share one keyboard.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_STRIP_FILES ON)
set(CPACK_KAVARIN_STRIP ${CMAKE_STRIP})
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debian/strip_notes.cmake)
# Everything, the Debian documents included, in the one package.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified debian)
# The libraries the game links come from dpkg-shlibdeps. Added by hand: what is loaded at run time
# rather than linked (Qt's platform plugins) and the font the dialogs are set in.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins (>= 6.4), fonts-ipafont-gothic")
include(CPack)

# The .deb as a user gets it: its contents, the kavarin-replay it installs replaying a record,
# and lintian's silence. Skipped where dpkg-deb or lintian is missing.
if(TARGET kavarin AND KAVARIN_BUILD_TESTS)
  add_test(NAME install.package
           COMMAND ${PROJECT_SOURCE_DIR}/tests/install/package_check.sh ${PROJECT_BINARY_DIR}
                   ${PROJECT_SOURCE_DIR}/tests/install/online_record.txt)
  set_tests_properties(install.package PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
endif()
