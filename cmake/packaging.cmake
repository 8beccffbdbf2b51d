# Installs the game like a desktop program and packs it as a .deb:
#   bin/kavarin                                   the game
#   share/kavarin/sounds/*.wav                    its cue sounds (installed by tools/soundgen)
#   share/applications/kavarin.desktop            the menu entry
#   share/icons/hicolor/32x32/apps/kavarin.png    the icon (kavarin.xpm where no PNG is built)
include(GNUInstallDirs)

if(TARGET kavarin)
  install(TARGETS kavarin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/app/data/kavarin.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  set(kavarin_icon_dir ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps)
  if(TARGET kavarin_icon_png AND KAVARIN_ICON_PNG)
    install(FILES ${KAVARIN_ICON_PNG} DESTINATION ${kavarin_icon_dir})
  elseif(EXISTS ${PROJECT_SOURCE_DIR}/app/dialogs/kavarin.xpm)
    install(FILES ${PROJECT_SOURCE_DIR}/app/dialogs/kavarin.xpm DESTINATION ${kavarin_icon_dir})
  endif()
endif()

# The test run installs into a scratch prefix and checks what lands there.
if(TARGET kavarin AND KAVARIN_BUILD_TESTS)
  find_program(KAVARIN_DESKTOP_VALIDATE desktop-file-validate)
  add_test(NAME install.layout
           COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${PROJECT_BINARY_DIR}
                   -DPREFIX=${PROJECT_BINARY_DIR}/install-check
                   -DDESKTOP_VALIDATE=${KAVARIN_DESKTOP_VALIDATE}
                   -P ${CMAKE_CURRENT_LIST_DIR}/install_check.cmake)
endif()

set(CPACK_PACKAGE_NAME kavarin)
set(CPACK_PACKAGE_VENDOR "Kavarin developers")
set(CPACK_PACKAGE_CONTACT "Kavarin developers <kavarin@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Two-player line-drawn duel on one keyboard")
set(CPACK_PACKAGE_DESCRIPTION
    "Two ships at the edges of a black field fire beams across a rotating star that bends them;\nthe charged star can be set off as a supernova. First to 3 points wins.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
# The libraries the game links come from dpkg-shlibdeps. Added by hand: what is loaded at run time
# rather than linked (Qt's platform plugins) and the font the dialogs are set in.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins (>= 6.4), fonts-ipafont-gothic")
include(CPack)
