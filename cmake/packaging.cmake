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

# The language files. Debian wants the text it installs in UTF-8, so the
# installed copies are UTF-8 with the byte-order mark, which the reader takes
# as well as Windows-1252; the Windows folder keeps the Windows-1252 originals.
set(rkt_utf8_languages)
foreach(src ${rkt_language_files})
  get_filename_component(name ${src} NAME)
  set(out ${CMAKE_BINARY_DIR}/languages/${name})
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/languages
    COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/language_to_utf8.sh ${src} ${out}
    DEPENDS ${src} ${PROJECT_SOURCE_DIR}/cmake/language_to_utf8.sh VERBATIM)
  list(APPEND rkt_utf8_languages ${out})
endforeach()
add_custom_target(rkt_utf8_languages ALL DEPENDS ${rkt_utf8_languages})
install(FILES ${rkt_utf8_languages} DESTINATION ${CMAKE_INSTALL_DATADIR}/rkt410)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Manual pages and the changelog go compressed, as Debian's policy asks
# (gzip -n: no time stamp, so the package builds the same twice).
set(rkt_gz_files)
foreach(page rkt410 rkt410-cli rkt410-sim)
  list(APPEND rkt_gz_files ${PROJECT_SOURCE_DIR}/resources/man/${page}.1)
endforeach()
list(APPEND rkt_gz_files ${PROJECT_SOURCE_DIR}/resources/debian/changelog)
set(rkt_gz_outputs)
foreach(src ${rkt_gz_files})
  get_filename_component(name ${src} NAME)
  set(out ${CMAKE_BINARY_DIR}/compressed/${name}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/compressed
    COMMAND gzip -9 -n -c ${src} > ${out}
    DEPENDS ${src} VERBATIM)
  list(APPEND rkt_gz_outputs ${out})
  if(name STREQUAL "changelog")
    install(FILES ${out} DESTINATION ${CMAKE_INSTALL_DOCDIR})
  else()
    install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endforeach()
add_custom_target(rkt_compressed_docs ALL DEPENDS ${rkt_gz_outputs})

set(CPACK_PACKAGE_NAME rkt410)
set(CPACK_PACKAGE_VENDOR "RKT 410 Parametrierung")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configuration tool for RKT 410 optical switching sensors")
# Lines of the extended description stay under 80 characters; CPack puts the
# summary in front as the synopsis.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Reads, edits, stores and writes back the settings of RKT 410 optical
switching sensors over an RS-232 line; keeps them in .RKT files, turns them
into a data code and prints a datasheet. Includes rkt410-cli for scripts
and rkt410-sim, a simulated sensor on a pseudo-terminal.")
set(CPACK_PACKAGE_CONTACT "RKT 410 maintainers <rkt410@varem-electronic.example>")
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
# Qt's own texts (file and print dialogs) in the language the user chose;
# the datasheet is laid out for Arial, and Liberation Sans has its metrics;
# the write history opens its database through Qt SQL's SQLite plug-in,
# which no linked library pulls in.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, fonts-liberation, libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-wayland")
set(CPACK_STRIP_FILES ON)
include(CPack)

if(RKT_BUILD_TESTS AND UNIX)
  add_test(NAME Packaging.InstallTreeHasEverythingTheDesktopNeeds
           COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DPREFIX=${CMAKE_BINARY_DIR}/install-check
                   -P ${PROJECT_SOURCE_DIR}/cmake/check_install.cmake)
endif()
