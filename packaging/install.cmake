# Installing the program for the desktop, and its Debian package.
include(GNUInstallDirs)

install(TARGETS quillet3 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The video encoder, found by the program from where it is installed.
install(TARGETS quillet3-video LIBRARY DESTINATION ${q3_module_install_dir})
install(FILES packaging/quillet3.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES window/icons/quillet3.xpm
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps)
install(FILES window/icons/quillet3-16.xpm
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/16x16/apps RENAME quillet3.xpm)
install(FILES window/icons/quillet3.xpm DESTINATION ${CMAKE_INSTALL_DATADIR}/pixmaps)

set(CPACK_PACKAGE_NAME quillet3)
set(CPACK_PACKAGE_VENDOR "Quillet 3 developers")
set(CPACK_PACKAGE_CONTACT "Quillet 3 developers <developers@quillet3.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "short cartoon show, played in one window")
set(CPACK_PACKAGE_DESCRIPTION [=[
Quillet 3 plays a cartoon of about a minute and a half in one window:
title cards, a night and a morning scene, rain, and a rock concert with
flashing lights, all drawn while it plays. Click once on the white window
to begin.
.
Without a window it takes screenshots, writes traces and subtitles, and
records the show to H.264 MP4 or VP9 WebM.]=])
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The first build of the package of this version; the change log names the same release.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_PACKAGING_INSTALL_PREFIX ${QUILLET3_PACKAGE_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
# The programs are stripped, and their debug information is left out: CPack's -dbgsym package
# lists its files under the wrong paths in its md5sums, and has no copyright or change log.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/strip.cmake)
# The shared libraries (Qt with its X11 plugin, FFmpeg) are found by dpkg-shlibdeps; the fonts
# that stand in for the design's faces are named here: every face file layout/stage_faces.h names.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-liberation2, fonts-comic-neue, fonts-dejavu-core, fonts-dejavu-extra, fonts-ebgaramond, fonts-roboto-unhinted")
# A native window on Wayland desktops.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)

# The manual page and the package's change log are installed compressed, as Debian has them.
function(q3_install_gzipped source destination)
    get_filename_component(name ${source} NAME)
    set(packed ${PROJECT_BINARY_DIR}/packaging/${name}.gz)
    file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/packaging)
    execute_process(COMMAND gzip -9 -n -c ${source} OUTPUT_FILE ${packed} COMMAND_ERROR_IS_FATAL ANY)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    install(FILES ${packed} DESTINATION ${destination})
endfunction()
# The manual page names the version of the build.
configure_file(packaging/quillet3.1.in ${PROJECT_BINARY_DIR}/packaging/quillet3.1 @ONLY)
q3_install_gzipped(${PROJECT_BINARY_DIR}/packaging/quillet3.1 ${CMAKE_INSTALL_MANDIR}/man1)
configure_file(packaging/changelog.Debian.in ${PROJECT_BINARY_DIR}/packaging/changelog.Debian @ONLY)
q3_install_gzipped(${PROJECT_BINARY_DIR}/packaging/changelog.Debian ${CMAKE_INSTALL_DOCDIR})
install(FILES packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME quillet3)

include(CPack)
