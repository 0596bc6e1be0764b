# Installing the program for the desktop, and its Debian package.
include(GNUInstallDirs)

install(TARGETS quillet3 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The video encoder, found by the program from where it is installed.
install(TARGETS quillet3-video LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/quillet3)
install(FILES packaging/quillet3.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES assets/icons/quillet3.xpm
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps)
install(FILES assets/icons/quillet3-16.xpm
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/16x16/apps RENAME quillet3.xpm)
install(FILES assets/icons/quillet3.xpm DESTINATION ${CMAKE_INSTALL_DATADIR}/pixmaps)
install(FILES packaging/quillet3.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_PACKAGE_NAME quillet3)
set(CPACK_PACKAGE_VENDOR "Quillet 3 developers")
set(CPACK_PACKAGE_CONTACT "Quillet 3 developers <quillet3@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "A short cartoon show, played in one window")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
# The shared libraries are found by dpkg-shlibdeps; the Qt plugins the window needs and the fonts
# that stand in for the design's faces are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6gui6, libqt6widgets6, fonts-liberation2, fonts-comic-neue, fonts-dejavu-core, fonts-ebgaramond, fonts-roboto-unhinted")
include(CPack)
