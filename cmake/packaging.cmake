# Installs the game like a desktop program and packs it as a .deb.
include(GNUInstallDirs)

if(TARGET kavarin)
  install(TARGETS kavarin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/app/data/kavarin.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endif()

set(CPACK_PACKAGE_NAME kavarin)
set(CPACK_PACKAGE_VENDOR "Kavarin developers")
set(CPACK_PACKAGE_CONTACT "Kavarin developers <kavarin@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Two-player line-drawn duel on one keyboard")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6, libstdc++6 (>= 12), libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), qt6-qpa-plugins (>= 6.4), libsdl2-2.0-0 (>= 2.26), libsdl2-mixer-2.0-0 (>= 2.6), fonts-ipafont-gothic")
include(CPack)
