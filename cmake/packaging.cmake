# Installation of everything besides the programs (their own folders install
# those) and the Debian package: `cpack -G DEB` in the build folder.
include(GNUInstallDirs)

install(FILES ${PROJECT_SOURCE_DIR}/resources/rkt410.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/rkt410-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME rkt410.xml)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/rkt410.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The help pages are compiled into the program; the HTML files go along for
# reading without it.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/help/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/help)
install(FILES ${PROJECT_SOURCE_DIR}/resources/samples/sample.RKT DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME rkt410)
set(CPACK_PACKAGE_VENDOR "RKT 410 Parametrierung")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configuration tool for RKT 410 optical switching sensors")
set(CPACK_PACKAGE_DESCRIPTION
    "Reads, edits, stores and writes back the settings of RKT 410 optical switching sensors over an RS-232 line; keeps them in .RKT files, turns them into a data code and prints a datasheet. Includes rkt410-cli for scripts and rkt410-sim, a simulated sensor on a pseudo-terminal.")
set(CPACK_PACKAGE_CONTACT "RKT 410 maintainers <rkt410@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The library packages come from dpkg-shlibdeps. The plug-ins the program
# loads at run time ride along with them: the X11 platform in libqt6gui6, the
# SVG image and icon plug-ins in libqt6svg6, CUPS printing in
# libqt6printsupport6. A native Wayland window needs qt6-wayland; without it
# Qt runs through XWayland.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The write history opens its database through Qt SQL's SQLite plug-in,
# which no linked library pulls in.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-wayland")
set(CPACK_STRIP_FILES ON)
include(CPack)

if(RKT_BUILD_TESTS AND UNIX)
  add_test(NAME Packaging.InstallTreeHasEverythingTheDesktopNeeds
           COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DPREFIX=${CMAKE_BINARY_DIR}/install-check
                   -P ${PROJECT_SOURCE_DIR}/cmake/check_install.cmake)
endif()
